#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kalvera {

// The header section of the final answer to a request.
struct HttpHead {
    int status = 0;
    std::string contentType;      // the last one sent, or empty
    std::string contentEncoding;  // all that were sent, joined by ", "; empty when none
    // The body's length as Content-Length announced it; -1 when none was announced or when
    // the body is framed by chunks, which makes any Content-Length void.
    std::int64_t contentLength = -1;
    bool chunked = false;
    std::string location;  // the first Location, as sent
    // Where a 3xx answer points, made absolute against the request's URL; set by the exchange.
    std::string redirectUrl;
};

// Reads the header sections of an answer a line at a time, as libcurl hands them over, interim
// 1xx answers first, and refuses every section that HTTP (RFC 9112) calls malformed: a status
// line that is not HTTP/1.0 or HTTP/1.1, a folded line, a line without a colon, a blank or a
// forbidden character in a field name, a NUL or a lone CR, framing headers in an interim or an
// HTTP/1.0 answer, a Content-Length that is no number or that differs from another, and any
// Transfer-Encoding but the single coding "chunked". What a section it takes says about where
// its body ends is thus what libcurl, which reads the body, says too.
class HttpHeadReader {
  public:
    enum class Step {
        More,       // a line was taken; the final answer's section is not complete yet
        Final,      // the final answer's section is complete: Head()
        Malformed,  // refused, and every later line too: Problem() says why
    };

    // One line with its line end.
    Step Take(std::string_view line);
    const HttpHead& Head() const { return head_; }
    const std::string& Problem() const { return problem_; }

  private:
    Step Refuse(std::string problem);
    Step StatusLine(std::string_view line);
    Step FieldLine(std::string_view line);
    Step EndOfSection();

    HttpHead head_;
    std::string problem_;
    bool inSection_ = false;  // a status line began the section now being read
    bool done_ = false;
    bool http10_ = false;
    bool sawTransferEncoding_ = false;
    bool sawContentLength_ = false;
    std::int64_t announcedLength_ = 0;
};

}  // namespace kalvera
