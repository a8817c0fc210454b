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

bool IsHttps(std::string_view url) {
    return url.size() > 6 && std::equal(url.begin(), url.begin() + 6, "https:", [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == y;
           });
}

// The failures that say the server's certificate does not check out: not issued for this
// host, not from a trusted authority, expired, revoked. Schannel reports an expired or revoked
// one only as a failed handshake, whose message names the cause.
bool IsCertificateFailure(CURLcode code, std::string_view message) {
    if (code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_ISSUER_ERROR ||
        code == CURLE_SSL_INVALIDCERTSTATUS) {
        return true;
    }
    constexpr std::string_view kSchannelCauses[] = {"SEC_E_CERT_EXPIRED", "SEC_E_CERT_UNKNOWN",
                                                    "CRYPT_E_REVOKED", "CERT_E_"};
    return code == CURLE_SSL_CONNECT_ERROR &&
           std::any_of(std::begin(kSchannelCauses), std::end(kSchannelCauses),
                       [message](std::string_view cause) {
                           return message.find(cause) != std::string_view::npos;
                       });
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
        if (self->headDone_) {
            return bytes;  // trailers after a chunked body: they frame nothing
        }
        switch (self->reader_.Take(std::string_view(data, bytes))) {
            case HttpHeadReader::Step::More:
                return bytes;
            case HttpHeadReader::Step::Malformed:
                self->malformed_ = true;
                return 0;
            case HttpHeadReader::Step::Final:
                break;
        }
        // Both readings of the section are at hand: they must agree, or neither is trusted.
        HttpHead head = self->reader_.Head();
        long status = 0;
        curl_off_t length = -1;
        curl_easy_getinfo(Easy(self->easy_), CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(Easy(self->easy_), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (status != head.status || length != head.contentLength) {
            self->malformed_ = true;
            self->problem_ = "a header section libcurl reads otherwise (status " +
                             std::to_string(status) + ", length " + std::to_string(length) + ")";
            return 0;
        }
        if (head.status >= 300 && head.status < 400 && !head.location.empty()) {
            head.redirectUrl = ResolveUrl(self->url_, head.location);
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

bool HttpExchange::Start(const std::string& url, const HttpOptions& options) {
    Release();
    InitialiseCurlOnce();
    url_ = url;
    reader_ = HttpHeadReader();
    problem_.clear();
    headDone_ = false;
    malformed_ = false;
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
        // HTTP/1.1 also over TLS: the header lines are then the ones read here.
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK &&
        // The server's certificate is checked against the system's roots (Schannel: the
        // Windows store), its revocation too where the authority can be asked.
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_SSL_OPTIONS, CURLSSLOPT_REVOKE_BEST_EFFORT) == CURLE_OK &&
        (options.trustedCertificates.empty() ||
         curl_easy_setopt(easy, CURLOPT_CAINFO, options.trustedCertificates.c_str()) == CURLE_OK) &&
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
                end = malformed_                               ? HttpEnd::Malformed
                      : stopped_                               ? HttpEnd::Stopped
                      : IsCertificateFailure(code, errorText_) ? HttpEnd::BadCertificate
                                                               : HttpEnd::Failed;
                break;
        }
        std::string detail = curl_easy_strerror(code);
        if (malformed_) {
            detail = problem_.empty() ? reader_.Problem() : problem_;
        } else if (errorText_[0] != '\0') {
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
