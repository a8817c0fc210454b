#include "http_exchange.h"

#include <curl/curl.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cctype>
#include <mutex>

#include "http_url.h"
#include "kalvera/version.h"

namespace kalvera {
namespace {

CURLM* Multi(void* handle) {
    return static_cast<CURLM*>(handle);
}
CURL* Easy(void* handle) {
    return static_cast<CURL*>(handle);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Whether a Transfer-Encoding value names chunked, the coding that frames the body.
bool NamesChunked(std::string_view codings) {
    while (!codings.empty()) {
        const std::size_t comma = codings.find(',');
        if (EqualsNoCase(Trimmed(codings.substr(0, comma)), "chunked")) {
            return true;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        codings.remove_prefix(comma + 1);
    }
    return false;
}

bool IsHttps(std::string_view url) {
    return url.size() > 6 && EqualsNoCase(url.substr(0, 6), "https:");
}

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

// The read and write notifiers of one socket, made as curl first asks for each direction.
struct HttpExchange::Watch {
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;

    ~Watch() {
        // The socket may be closed right after; a notifier that is only disabled and deleted
        // later never fires for it, nor for a new socket that gets the same number.
        for (QSocketNotifier* notifier : {read, write}) {
            if (notifier != nullptr) {
                notifier->setEnabled(false);
                notifier->deleteLater();
            }
        }
    }
};

struct HttpExchange::Glue {
    static std::size_t OnHeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
        auto* self = static_cast<HttpExchange*>(user);
        const std::size_t bytes = size * count;
        const std::string_view line(data, bytes);
        if (line.starts_with("HTTP/")) {  // a new answer: an interim one may have come first
            self->head_ = HttpHead{};
            self->headDone_ = false;
            self->location_.clear();
            return bytes;
        }
        if (self->headDone_) {
            return bytes;  // trailers after a chunked body
        }
        if (!Trimmed(line).empty()) {
            const std::size_t colon = line.find(':');
            if (colon != std::string_view::npos) {
                const std::string_view name = Trimmed(line.substr(0, colon));
                const std::string_view value = Trimmed(line.substr(colon + 1));
                if (EqualsNoCase(name, "Content-Encoding")) {
                    self->head_.contentEncoding = std::string(value);
                } else if (EqualsNoCase(name, "Transfer-Encoding") && NamesChunked(value)) {
                    self->head_.chunked = true;
                } else if (EqualsNoCase(name, "Location") && self->location_.empty()) {
                    self->location_ = std::string(value);
                }
            }
            return bytes;
        }
        // The blank line that ends an answer's headers.
        long status = 0;
        curl_easy_getinfo(Easy(self->easy_), CURLINFO_RESPONSE_CODE, &status);
        if (status < 200) {
            return bytes;  // interim: the real answer follows
        }
        HttpHead& head = self->head_;
        head.status = static_cast<int>(status);
        const char* type = nullptr;
        if (curl_easy_getinfo(Easy(self->easy_), CURLINFO_CONTENT_TYPE, &type) == CURLE_OK &&
            type != nullptr) {
            head.contentType = type;
        }
        curl_off_t length = -1;
        curl_easy_getinfo(Easy(self->easy_), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        head.contentLength = head.chunked ? -1 : static_cast<std::int64_t>(length);
        if (status >= 300 && status < 400 && !self->location_.empty()) {
            head.redirectUrl = ResolveUrl(self->url_, self->location_);
        }
        self->headDone_ = true;
        if (!self->handlers_.head(head)) {
            self->stopped_ = true;
            return 0;
        }
        return bytes;
    }

    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
        auto* self = static_cast<HttpExchange*>(user);
        const std::size_t bytes = size * count;
        if (bytes > 0 && !self->handlers_.body(std::string_view(data, bytes))) {
            self->stopped_ = true;
            return 0;
        }
        return bytes;
    }

    static int OnSocket(CURL*, curl_socket_t socket, int what, void* user, void*) {
        auto* self = static_cast<HttpExchange*>(user);
        const auto key = static_cast<std::intptr_t>(socket);
        if (what == CURL_POLL_REMOVE) {
            self->watches_.erase(key);
            return 0;
        }
        std::unique_ptr<Watch>& watch = self->watches_[key];
        if (!watch) {
            watch = std::make_unique<Watch>();
        }
        const auto want = [self, key](QSocketNotifier*& notifier, QSocketNotifier::Type type,
                                      int events, bool on) {
            if (notifier == nullptr && on) {
                notifier = new QSocketNotifier(static_cast<qintptr>(key), type, self);
                QObject::connect(notifier, &QSocketNotifier::activated, self,
                                 [self, key, events] { self->Drive(key, events); });
            }
            if (notifier != nullptr) {
                notifier->setEnabled(on);
            }
        };
        want(watch->read, QSocketNotifier::Read, CURL_CSELECT_IN, (what & CURL_POLL_IN) != 0);
        want(watch->write, QSocketNotifier::Write, CURL_CSELECT_OUT, (what & CURL_POLL_OUT) != 0);
        return 0;
    }

    static int OnTimer(CURLM*, long milliseconds, void* user) {
        auto* self = static_cast<HttpExchange*>(user);
        if (milliseconds < 0) {
            self->timer_.stop();
        } else {
            self->timer_.start(static_cast<int>(std::min<long>(milliseconds, 60'000)));
        }
        return 0;
    }
};

HttpExchange::HttpExchange(Handlers handlers, QObject* parent)
    : QObject(parent), handlers_(std::move(handlers)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this,
            [this] { Drive(static_cast<std::intptr_t>(CURL_SOCKET_TIMEOUT), 0); });
}

HttpExchange::~HttpExchange() {
    Release();
}

bool HttpExchange::Start(const std::string& url) {
    Release();
    InitialiseCurlOnce();
    url_ = url;
    location_.clear();
    head_ = HttpHead{};
    headDone_ = false;
    stopped_ = false;
    errorText_[0] = '\0';
    multi_ = curl_multi_init();
    easy_ = curl_easy_init();
    if (multi_ == nullptr || easy_ == nullptr) {
        Release();
        return false;
    }
    curl_multi_setopt(Multi(multi_), CURLMOPT_SOCKETFUNCTION, &Glue::OnSocket);
    curl_multi_setopt(Multi(multi_), CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(Multi(multi_), CURLMOPT_TIMERFUNCTION, &Glue::OnTimer);
    curl_multi_setopt(Multi(multi_), CURLMOPT_TIMERDATA, this);

    // The bytes that arrive are the bytes that are checked and installed: no content
    // coding is asked for or decoded, and no cache on the way may answer for the server.
    struct curl_slist* headers = nullptr;
    for (const char* header :
         {"Accept-Encoding: identity", "Cache-Control: no-cache", "Pragma: no-cache"}) {
        headers = curl_slist_append(headers, header);
    }
    headers_ = headers;
    CURL* easy = Easy(easy_);
    const bool set =
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK &&
        // The one scheme of this URL: a libcurl built for plain HTTP knows no "https".
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, IsHttps(url) ? "https" : "http") ==
            CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "Kalvera/" KALVERA_VERSION_TEXT) == CURLE_OK &&
        // Straight to the server, as the environment's proxy settings may not reach it.
        curl_easy_setopt(easy, CURLOPT_PROXY, "") == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
        // Ending an exchange never waits for a name lookup that hangs: its thread is left
        // to finish by itself, so closing the window ends the program at once.
        curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText_) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Glue::OnHeaderLine) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Glue::OnBody) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) == CURLE_OK &&
        curl_multi_add_handle(Multi(multi_), easy) == CURLM_OK;
    if (!set) {
        Release();
        return false;
    }
    return true;
}

void HttpExchange::Abort() {
    Release();
}

void HttpExchange::Drive(std::intptr_t socket, int events) {
    if (multi_ == nullptr) {
        return;
    }
    int running = 0;
    curl_multi_socket_action(Multi(multi_), static_cast<curl_socket_t>(socket), events, &running);
    CollectEnd();
}

void HttpExchange::CollectEnd() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(Multi(multi_), &left)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        const CURLcode code = message->data.result;
        HttpEnd end = HttpEnd::Failed;
        switch (code) {
            case CURLE_OK:
                end = HttpEnd::Complete;
                break;
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_COULDNT_RESOLVE_PROXY:
            case CURLE_COULDNT_CONNECT:
                end = HttpEnd::Unreachable;
                break;
            case CURLE_PARTIAL_FILE:
                end = HttpEnd::Partial;
                break;
            default:
                end = stopped_ ? HttpEnd::Stopped : HttpEnd::Failed;
                break;
        }
        std::string detail = curl_easy_strerror(code);
        if (errorText_[0] != '\0') {
            detail += std::string(": ") + errorText_;
        }
        Release();
        // From the event loop, never from inside curl: the handler may start the next
        // exchange or destroy this one. An Abort() or Start() before then makes it void.
        QTimer::singleShot(0, this, [this, end, detail, generation = generation_] {
            if (generation == generation_) {
                handlers_.end(end, detail);
            }
        });
        return;
    }
}

void HttpExchange::Release() {
    ++generation_;
    timer_.stop();
    if (easy_ != nullptr && multi_ != nullptr) {
        curl_multi_remove_handle(Multi(multi_), Easy(easy_));
    }
    if (easy_ != nullptr) {
        curl_easy_cleanup(Easy(easy_));
        easy_ = nullptr;
    }
    if (multi_ != nullptr) {
        curl_multi_cleanup(Multi(multi_));
        multi_ = nullptr;
    }
    curl_slist_free_all(static_cast<curl_slist*>(headers_));
    headers_ = nullptr;
    watches_.clear();
}

}  // namespace kalvera
