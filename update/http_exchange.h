#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class QSocketNotifier;

namespace kalvera {

// The headers of the final answer to a request (interim 1xx answers are skipped).
struct HttpHead {
    int status = 0;
    std::string contentType;      // as sent, or empty
    std::string contentEncoding;  // as sent, or empty
    // The body's length as Content-Length announced it; -1 when none was announced or when
    // the body is framed by chunks, which makes any Content-Length void.
    std::int64_t contentLength = -1;
    bool chunked = false;
    // Where a 3xx answer points, made absolute against the request's URL; empty otherwise.
    std::string redirectUrl;
};

// How an exchange ended.
enum class HttpEnd {
    Complete,     // the whole body, as its framing (length, chunks or close) defines it
    Stopped,      // a handler returned false
    Unreachable,  // the host could not be resolved or connected to
    Partial,      // the body ended before its framing said it was whole
    Failed,       // any other failure of the connection or the protocol
};

// One HTTP GET, run by libcurl on the calling thread's Qt event loop: the connection's
// sockets and curl's timer become socket notifiers and a QTimer, so there is neither a
// thread of our own nor a nested event loop. Redirects are not followed: a 3xx answer is
// handed over like any other and the caller decides. The body reaches the handler as curl
// decodes it from its framing; curl checks that framing, so a chunked body without its last
// chunk, or one shorter than its Content-Length, ends as Partial.
class HttpExchange : public QObject {
    Q_OBJECT
  public:
    struct Handlers {
        // The final answer's headers; false ends the exchange as Stopped.
        std::function<bool(const HttpHead&)> head;
        // The next piece of the body; false ends the exchange as Stopped.
        std::function<bool(std::string_view)> body;
        // Called once when the exchange ends by itself, from the event loop; never for
        // Abort() or destruction. `detail` is curl's own description of a failure.
        std::function<void(HttpEnd, const std::string& detail)> end;
    };

    HttpExchange(Handlers handlers, QObject* parent = nullptr);
    // Ends a running exchange at once, without waiting for anything (a name lookup that
    // hangs included) and without calling `end`.
    ~HttpExchange() override;
    HttpExchange(const HttpExchange&) = delete;
    HttpExchange& operator=(const HttpExchange&) = delete;

    // Starts the request; false when curl could not even set it up (`end` is not called).
    bool Start(const std::string& url);
    // As the destructor: ends it now, `end` is not called. Harmless when nothing runs.
    void Abort();

  private:
    struct Watch;
    // libcurl's C callbacks, which reach into this class.
    struct Glue;
    friend struct Glue;

    void Drive(std::intptr_t socket, int events);
    void CollectEnd();
    void Release();

    Handlers handlers_;
    void* multi_ = nullptr;    // CURLM*
    void* easy_ = nullptr;     // CURL*
    void* headers_ = nullptr;  // curl_slist*
    std::map<std::intptr_t, std::unique_ptr<Watch>> watches_;
    QTimer timer_;
    std::string url_;       // of the request
    std::string location_;  // the answer's Location header, as sent
    HttpHead head_;
    bool headDone_ = false;
    bool stopped_ = false;
    std::uint64_t generation_ = 0;  // of the running exchange; an end for another is void
    char errorText_[256] = {};
};

}  // namespace kalvera
