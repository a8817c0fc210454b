#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "http_head_reader.h"

class QSocketNotifier;

namespace kalvera {

// How an exchange ended.
enum class HttpEnd {
    Complete,        // the whole body, as its framing (length, chunks or close) defines it
    Stopped,         // a handler returned false
    Unreachable,     // the host could not be resolved or connected to
    Partial,         // the body ended before its framing said it was whole
    Malformed,       // a header section HTTP calls malformed (HttpHeadReader): nothing was read on
    BadCertificate,  // the https server's certificate does not check out
    Failed,          // any other failure of the connection or the protocol
};

// How the exchange is to be made, beyond its URL.
struct HttpOptions {
    // PEM file of the certificates trusted instead of the system's roots; empty: the system's.
    std::string trustedCertificates;
};

// One HTTP/1.1 GET over http or https, run by libcurl on the calling thread's Qt event loop:
// the connection's sockets and curl's timer become socket notifiers and a QTimer, so there is
// neither a thread of our own nor a nested event loop. Redirects are not followed: a 3xx answer
// is handed over like any other and the caller decides. Every header line is read here too
// (HttpHeadReader), and an answer whose header section HTTP calls malformed ends as Malformed
// before any of its body is handed over; so the framing the head states is the one curl
// decodes the body from. Curl checks that framing: a chunked body without its last chunk, or
// one shorter than its Content-Length, ends as Partial.
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
    bool Start(const std::string& url, const HttpOptions& options = {});
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
    std::string url_;  // of the request
    HttpHeadReader reader_;
    std::string problem_;  // of a section the two readings disagree on
    bool headDone_ = false;
    bool malformed_ = false;
    bool stopped_ = false;
    std::uint64_t generation_ = 0;  // of the running exchange; an end for another is void
    char errorText_[256] = {};
};

}  // namespace kalvera
