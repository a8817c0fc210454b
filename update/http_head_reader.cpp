#include "http_head_reader.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace kalvera {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A token character (RFC 9110 5.6.2), the only ones a field name may hold.
bool IsTokenChar(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return std::isalnum(byte) != 0 ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

std::string_view TrimmedBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A short, printable piece of what was received, for the log.
std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text.substr(0, 60)) {
        quoted += std::isprint(static_cast<unsigned char>(c)) != 0 ? c : '?';
    }
    return quoted + (text.size() > 60 ? "...\"" : "\"");
}

}  // namespace

HttpHeadReader::Step HttpHeadReader::Take(std::string_view line) {
    if (!problem_.empty()) {
        return Step::Malformed;
    }
    if (done_) {
        return Step::Final;
    }
    if (!line.ends_with('\n')) {
        return Refuse("a header line without its line end");
    }
    line.remove_suffix(1);
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    if (line.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos) {
        return Refuse("a NUL or a lone CR in the header line " + Quoted(line));
    }
    if (!inSection_) {
        return StatusLine(line);
    }
    return line.empty() ? EndOfSection() : FieldLine(line);
}

HttpHeadReader::Step HttpHeadReader::Refuse(std::string problem) {
    problem_ = std::move(problem);
    return Step::Malformed;
}

// HTTP-version SP status-code [SP reason-phrase]; only HTTP/1.x, which is all that is asked.
HttpHeadReader::Step HttpHeadReader::StatusLine(std::string_view line) {
    const bool shaped = line.size() >= 12 && line.starts_with("HTTP/1.") && IsDigit(line[7]) &&
                        line[8] == ' ' && IsDigit(line[9]) && IsDigit(line[10]) &&
                        IsDigit(line[11]) && (line.size() == 12 || line[12] == ' ');
    if (!shaped || line[7] > '1' || line[9] == '0') {
        return Refuse("a status line that is not HTTP/1.0 or HTTP/1.1: " + Quoted(line));
    }
    *this = HttpHeadReader();
    inSection_ = true;
    http10_ = line[7] == '0';
    head_.status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    return Step::More;
}

HttpHeadReader::Step HttpHeadReader::FieldLine(std::string_view line) {
    if (IsBlank(line.front())) {
        return Refuse("a folded header line " + Quoted(line));
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return Refuse("a header line without a field name and a colon: " + Quoted(line));
    }
    const std::string_view name = line.substr(0, colon);
    if (IsBlank(name.back())) {
        return Refuse("a blank between a field name and its colon: " + Quoted(line));
    }
    if (!std::all_of(name.begin(), name.end(), IsTokenChar)) {
        return Refuse("a field name HTTP does not allow: " + Quoted(line));
    }
    const std::string_view value = TrimmedBlanks(line.substr(colon + 1));
    const bool transferEncoding = EqualsNoCase(name, "Transfer-Encoding");
    const bool contentLength = EqualsNoCase(name, "Content-Length");
    if ((transferEncoding || contentLength) && head_.status < 200) {
        return Refuse("a framing header in an interim answer: " + Quoted(line));
    }
    if (transferEncoding) {
        if (http10_) {
            return Refuse("a Transfer-Encoding in an HTTP/1.0 answer");
        }
        if (sawTransferEncoding_ || !EqualsNoCase(value, "chunked")) {
            return Refuse("a transfer coding other than chunked alone: " + Quoted(line));
        }
        sawTransferEncoding_ = true;
        head_.chunked = true;
    } else if (contentLength) {
        std::int64_t length = 0;
        for (const char c : value) {
            if (!IsDigit(c) || length > (std::numeric_limits<std::int64_t>::max() - 9) / 10) {
                return Refuse("a Content-Length that is not a number HTTP reads: " + Quoted(line));
            }
            length = length * 10 + (c - '0');
        }
        if (value.empty() || (sawContentLength_ && length != announcedLength_)) {
            return Refuse("a Content-Length that is empty or differs from another: " +
                          Quoted(line));
        }
        sawContentLength_ = true;
        announcedLength_ = length;
    } else if (head_.status < 200) {
        // Nothing of an interim answer is kept.
    } else if (EqualsNoCase(name, "Content-Type")) {
        head_.contentType = std::string(value);
    } else if (EqualsNoCase(name, "Content-Encoding")) {
        head_.contentEncoding += (head_.contentEncoding.empty() ? "" : ", ") + std::string(value);
    } else if (EqualsNoCase(name, "Location") && head_.location.empty()) {
        head_.location = std::string(value);
    }
    return Step::More;
}

HttpHeadReader::Step HttpHeadReader::EndOfSection() {
    if (head_.status < 200) {
        inSection_ = false;  // the final answer follows with a status line of its own
        return Step::More;
    }
    // 204 and 304 have no body, whatever their framing headers say.
    const bool bodyless = head_.status == 204 || head_.status == 304;
    head_.chunked = head_.chunked && !bodyless;
    head_.contentLength = head_.chunked || bodyless || !sawContentLength_ ? -1 : announcedLength_;
    done_ = true;
    return Step::Final;
}

}  // namespace kalvera
