#include "callbook_server.h"

#include <chrono>
#include <cstring>
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

CallbookServer::CallbookServer() {
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
    thread_.join();
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
    server_.Get("/gated", [this](const Request&, Response& res) {
        HoldUntil([this] {
            int passes = gatePasses_;
            return passes > 0 && gatePasses_.compare_exchange_strong(passes, passes - 1);
        });
        res.set_content(kFreshCallbook, kPlain);
    });
}

}  // namespace kalvera::testing
