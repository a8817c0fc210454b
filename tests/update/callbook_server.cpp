#include "callbook_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <stdexcept>
#include <string_view>

#include "update/callbook_content_check.h"

namespace kalvera::testing {
namespace {

constexpr char kPlain[] = "text/plain";

// Member lines repeated to any length, for bodies too large to hold.
std::string MemberLines(std::size_t atLeast) {
    constexpr std::string_view line =
        "QV27AAA#Anggota#Jl. Panjang 1#Kab. Contoh#0001#2030-12-31#seumur hidup\r\n";
    std::string text;
    while (text.size() < atLeast) {
        text.append(line);
    }
    return text;
}

}  // namespace

std::string Utf16Callbook(bool bigEndian) {
    std::string text = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : std::string_view(kFreshCallbook)) {  // ASCII: the high byte is zero
        text += bigEndian ? '\0' : c;
        text += bigEndian ? c : '\0';
    }
    return text;
}

std::string CallbookOfMembers(int members) {
    std::string text = "versi: 2025-08-01 09:00\r\n";
    for (int i = 0; i < members; ++i) {
        char callsign[16];
        std::snprintf(callsign, sizeof callsign, "QV27A%04d", i);
        text +=
            std::string(callsign) + "#Anggota#Jl. Panjang 1#Kab. Contoh#0001#2030-12-31#baru\r\n";
    }
    return text;
}

CallbookServer::CallbookServer() {
    // One request per connection. A body without length or chunks ends when the connection
    // closes, and the server would otherwise keep it open for a next request first.
    server_.set_keep_alive_max_count(1);
    AddRoutes();
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() is lost on a server that has not started running yet, and the thread would
    // then never end.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_.is_running() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

CallbookServer::~CallbookServer() {
    released_ = true;
    server_.stop();
    // Every route ends within seconds once released, and a stuck socket within httplib's read
    // and write timeouts (5 s). Past this bound something hangs: say so and fail now rather
    // than hold the test until ctest's timeout.
    auto joined = std::async(std::launch::async, [this] { thread_.join(); });
    if (joined.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        std::fprintf(stderr, "the test server did not stop within 30 s\n");
        std::abort();
    }
}

std::string CallbookServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int CallbookServer::Requests(const std::string& path) const {
    std::lock_guard lock(requestsMutex_);
    const auto found = requests_.find(path);
    return found == requests_.end() ? 0 : found->second;
}

void CallbookServer::HoldUntil(const std::function<bool()>& done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!released_ && !done() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void CallbookServer::Stall() {
    stallReached_ = true;
    HoldUntil([] { return false; });
}

bool CallbookServer::Drip(httplib::DataSink& sink) {
    const std::string_view text = kFreshCallbook;
    while (!released_ && sink.is_writable()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!sink.write(&text[dripped_ % text.size()], 1)) {
            break;
        }
        ++dripped_;
    }
    return false;
}

void CallbookServer::AddRoutes() {
    using httplib::DataSink;
    using httplib::Request;
    using httplib::Response;

    // Counted before routing, so that a request a route holds back is seen while it waits.
    server_.set_pre_routing_handler([this](const Request& req, Response&) {
        const std::lock_guard lock(requestsMutex_);
        ++requests_[req.path];
        return httplib::Server::HandlerResponse::Unhandled;
    });

    struct Fixed {
        const char* path;
        int status;
        const char* type;
        std::string body;
    };
    std::string withNul = kFreshCallbook;
    withNul[20] = '\0';
    const Fixed fixed[] = {
        {"/1028/log.txt", 200, kPlain, kFreshCallbook},
        {"/version-only", 200, kPlain, kVersionOnly},
        {"/members-only", 200, kPlain, kMembersOnly},
        {"/server-error", 500, kPlain, kFreshCallbook},
        {"/html", 200, "text/html; charset=utf-8",
         "<!DOCTYPE html><html><body>Situs sedang perbaikan</body></html>"},
        // Claims to be plain text, behind a byte-order mark and blank lines.
        {"/html-as-text", 200, kPlain,
         "\xEF\xBB\xBF\r\n  <HTML>\r\n<p>a#b#c#d#e#f#g</p></HTML>\r\n"},
        {"/empty", 200, kPlain, ""},
        {"/with-nul", 200, kPlain, withNul},
        {"/no-callbook-line", 200, kPlain,
         "Maaf, berkas tidak tersedia.\r\nSilakan coba lagi#nanti\r\n"},
        {"/odd-lines", 200, kPlain,
         std::string(kMembersOnly) + "Daftar anggota\r\ncatatan 1\r\ncatatan 2\r\n-- akhir --\r\n"},
        // An empty type: Qt then reports no Content-Type at all.
        {"/captive-portal", 200, "", kCaptivePortal},
        {"/portal-as-text", 200, "", kPortalAsText},
        {"/utf16le", 200, kPlain, Utf16Callbook(false)},
        {"/utf16be", 200, kPlain, Utf16Callbook(true)},
        {"/cr-only", 200, kPlain, kCrLineEnds},
        {"/cr-cr-lf", 200, kPlain, kCrCrLfLineEnds},
        {"/elsewhere/log.txt", 200, kPlain, kFreshCallbook},
        {"/notice", 200, kPlain, kTextNotice},
    };
    for (const Fixed& route : fixed) {
        server_.Get(route.path, [route](const Request&, Response& res) {
            res.status = route.status;
            res.set_content(route.body, route.type);
        });
    }
    const std::pair<const char*, const char*> redirects[] = {
        {"/moved", "/1028/log.txt"},
        {"/moved-to-cut-short", "/cut-short"},
        {"/moved-to-chunked", "/chunked"},
        {"/loop", "/loop"},
    };
    for (const auto& [from, to] : redirects) {
        server_.Get(from, [to](const Request&, Response& res) { res.set_redirect(to); });
    }
    // A redirect with a body and a length of its own, to a body with neither.
    server_.Get("/moved-to-no-length-cut", [](const Request&, Response& res) {
        res.set_redirect("/no-length-cut");
        res.set_content("Dipindahkan.\r\n", kPlain);
    });
    // Absolute locations: the same origin, another name for this very server, another port.
    server_.Get("/to-same-host",
                [this](const Request&, Response& res) { res.set_redirect(Url("/1028/log.txt")); });
    server_.Get("/to-other-host", [this](const Request&, Response& res) {
        res.set_redirect("http://localhost:" + std::to_string(port_) + "/elsewhere/log.txt");
    });
    server_.Get("/to-other-port", [](const Request&, Response& res) {
        res.set_redirect("http://127.0.0.1:1/1028/log.txt");
    });
    // /hops/N redirects N times before it reaches the callbook.
    server_.Get(R"(/hops/(\d+))", [](const Request& req, Response& res) {
        const int left = std::stoi(req.matches[1]);
        if (left == 0) {
            res.set_content(kFreshCallbook, kPlain);
        } else {
            res.set_redirect("/hops/" + std::to_string(left - 1));
        }
    });

    // Promises 1000 bytes, sends a member line, then drops the connection.
    server_.Get("/cut-short", [](const Request&, Response& res) {
        res.set_content_provider(1000, kPlain, [](std::size_t, std::size_t, DataSink& sink) {
            const std::string head = MemberLines(100);
            sink.write(head.data(), head.size());
            return false;
        });
    });
    // Streams member lines without a length until the client gives up; never held whole.
    server_.Get("/oversized", [this](const Request&, Response& res) {
        res.set_chunked_content_provider(kPlain, [this](std::size_t offset, DataSink& sink) {
            static const std::string block = MemberLines(64 * 1024);
            if (released_ || offset > kMaxCallbookBytes + 4 * block.size()) {
                sink.done();
                return true;
            }
            return sink.write(block.data(), block.size());
        });
    });
    // Neither a length nor chunks: the closed connection ends the body.
    const std::pair<const char*, std::string> unframed[] = {
        {"/no-length", kFreshCallbook},
        {"/no-length-cut", std::string(kFreshCallbook) + "QV27AAA#Anggota#Jl. Panjang 1#"},
    };
    for (const auto& [path, body] : unframed) {
        server_.Get(path, [body](const Request&, Response& res) {
            res.set_content_provider(kPlain, [body](std::size_t offset, DataSink& sink) {
                if (offset < body.size()) {
                    return sink.write(body.data() + offset, body.size() - offset);
                }
                sink.done();
                return true;
            });
        });
    }
    // A chunk ending in the middle of a line, then the connection drops before the last
    // chunk.
    server_.Get("/chunked-cut", [](const Request&, Response& res) {
        res.set_chunked_content_provider(kPlain, [](std::size_t offset, DataSink& sink) {
            static const std::string head =
                std::string(kFreshCallbook) + "QV27AAA#Anggota#Jl. Panjang 1#";
            return offset == 0 && sink.write(head.data(), head.size());
        });
    });
    // Chunks that end at line ends, half a callbook's worth, then the connection drops
    // before the last chunk: every line that came is whole.
    server_.Get("/chunked-cut-at-line-end", [](const Request&, Response& res) {
        res.set_chunked_content_provider(kPlain, [](std::size_t offset, DataSink& sink) {
            static const std::string half = CallbookOfMembers(200);
            return offset == 0 && sink.write(half.data(), half.size());
        });
    });
    // A version line and N member lines.
    server_.Get(R"(/members/(\d+))", [](const Request& req, Response& res) {
        res.set_content(CallbookOfMembers(std::stoi(req.matches[1])), kPlain);
    });
    // A version line of 60 MB, as long as announced.
    server_.Get("/long-version-line", [this](const Request&, Response& res) {
        constexpr std::size_t kLength = 60'000'000;
        res.set_content_provider(
            kLength, kPlain, [this](std::size_t offset, std::size_t length, DataSink& sink) {
                static const std::string block = "versi: " + std::string(64 * 1024 - 7, 'x');
                const std::string_view part =
                    offset == 0 ? std::string_view(block) : std::string_view(block).substr(7);
                return !released_ && sink.write(part.data(), std::min(part.size(), length));
            });
    });
    server_.Get("/announced-too-large", [this](const Request&, Response& res) {
        res.set_content_provider(
            kMaxCallbookBytes + 1, kPlain, [this](std::size_t, std::size_t length, DataSink& sink) {
                static const std::string block = MemberLines(64 * 1024);
                return !released_ && sink.write(block.data(), std::min(block.size(), length));
            });
    });
    server_.Get("/gzip", [](const Request&, Response& res) {
        res.set_header("Content-Encoding", "gzip");
        res.set_content(kFreshCallbook, kPlain);
    });
    // Drips for the first request of each path only; answers every later one at once.
    server_.Get(R"(/drip-once/\w+)", [this](const Request& req, Response& res) {
        if (Requests(req.path) > 1) {
            res.set_content(kFreshCallbook, kPlain);
            return;
        }
        res.set_content_provider(kPlain,
                                 [this](std::size_t, DataSink& sink) { return Drip(sink); });
    });
    server_.Get("/chunked", [](const Request&, Response& res) {
        res.set_chunked_content_provider(kPlain, [](std::size_t offset, DataSink& sink) {
            if (offset == 0) {
                return sink.write(kFreshCallbook, std::strlen(kFreshCallbook));
            }
            sink.done();
            return true;
        });
    });
    // Accepts the request and never answers.
    server_.Get("/stall-before-headers", [this](const Request&, Response& res) {
        Stall();
        res.set_content(kFreshCallbook, kPlain);
    });
    // Sends the headers and the first lines, then nothing more.
    server_.Get("/stall-mid-body", [this](const Request&, Response& res) {
        res.set_content_provider(std::strlen(kFreshCallbook), kPlain,
                                 [this](std::size_t offset, std::size_t, DataSink& sink) {
                                     if (offset == 0) {
                                         sink.write(kFreshCallbook, 40);
                                         return true;
                                     }
                                     Stall();
                                     return false;
                                 });
    });
    // An error page that stops in its middle.
    server_.Get("/error-then-stall", [this](const Request&, Response& res) {
        res.status = 503;
        res.set_content_provider(1000, kPlain,
                                 [this](std::size_t offset, std::size_t, DataSink& sink) {
                                     if (offset == 0) {
                                         return sink.write("Sedang sibuk\r\n", 14);
                                     }
                                     Stall();
                                     return false;
                                 });
    });
    server_.Get("/gated", [this](const Request&, Response& res) {
        HoldUntil([this] {
            int passes = gatePasses_;
            return passes > 0 && gatePasses_.compare_exchange_strong(passes, passes - 1);
        });
        res.set_content(kFreshCallbook, kPlain);
    });
}

}  // namespace kalvera::testing
