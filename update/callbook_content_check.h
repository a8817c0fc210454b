#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "core/callbook_format.h"
#include "core/callbook_reader.h"
#include "core/line_splitter.h"
#include "core/text_decoder.h"

// Standard library and core only, no Qt: a fuzzer drives this class through Feed and Verdict.

namespace kalvera {

// The largest callbook the program accepts; real ones are well under a megabyte.
inline constexpr std::uint64_t kMaxCallbookBytes = std::uint64_t{64} * 1024 * 1024;

// HTML tags are looked for in this many characters at the start of the text.
inline constexpr std::uint64_t kHtmlSniffChars = 8 * 1024;

// Lines that are neither member nor version lines (a heading, a note, a member line with a
// field missing) are tolerated up to this many, or up to one in a hundred non-empty lines in
// a larger callbook, whichever is more.
inline constexpr std::uint64_t kOddLinesAlwaysAllowed = 3;
inline constexpr std::uint64_t kOddLinesPerHundred = 1;

enum class ContentVerdict {
    Plausible,
    Empty,            // no byte at all
    TooLarge,         // more than the limit
    ContainsNul,      // a NUL character (in UTF-16: a zero code unit, not a zero byte)
    HtmlPage,         // an HTML tag near the start
    LineTooLong,      // a line longer than kMaxLineBytes
    BrokenUtf16,      // UTF-16 ending in half a code unit
    NoCallbookLine,   // neither a member line nor a version line
    TooManyOddLines,  // more lines that are neither than the tolerance above
    NoMemberLine,     // version lines and a few others, but not a single member
};

// Short English words for logs.
std::string_view Describe(ContentVerdict verdict);

// Judges a downloaded body while it streams in: whether it is a callbook. The body is read
// exactly as the window reads log.txt, by the same decoder (TextDecoder: UTF-8 or
// Windows-1252, a byte-order mark dropped, UTF-16 with its mark) and the same line splitter
// (LineSplitter: LF with the CRs before it, or CR alone in a text without LF; a line's text
// at most kMaxLineBytes, its line end aside). The body is a callbook when:
// - every non-empty line (blanks only count as empty) is a member line (IsMemberLine) or a
//   version line (IsVersionLine), apart from the few odd lines tolerated above, and at least
//   one line is a member line;
// - no line is longer than kMaxLineBytes, nothing is a NUL, and no HTML tag (<html, <head,
//   <body, <title, <script, <style, <!doctype, any case) stands in the first kHtmlSniffChars
//   bytes of the text.
// Chunks may split the body anywhere. Memory does not grow with the body: the splitters'
// buffers, allocated at construction, and counters.
class CallbookContentCheck {
  public:
    explicit CallbookContentCheck(std::uint64_t maxBytes = kMaxCallbookBytes);

    void Feed(std::string_view chunk);

    // True once the body can no longer become a callbook, whatever follows; the transfer can
    // stop then. Later chunks are ignored.
    bool Rejected() const;
    // The judgement over everything fed so far, taken as the whole body.
    ContentVerdict Verdict() const;
    // True when the text fed so far ends with a line end (LF, or CR in a text without LF): a
    // body whose length nobody announced must, or it may have been cut short. False once
    // rejected: how much of the body was looked at then depends on the chunks.
    bool EndsWithLineEnd() const;
    std::uint64_t Size() const { return size_; }
    // Member lines in everything fed so far, the last line counted even without its line end.
    std::uint64_t MemberLines() const;

    // How the text fed so far is cut into lines: by CR when it holds a CR and no LF.
    LineEnding Cutting() const;
    // For tests that compare these lines with the reader's. `observer` sees each whole line as
    // it is cut, for each way of cutting the text (by LF; and by CR until the first LF);
    // LastLine is the line after the last line end, as Cutting() cuts it, if the body ended
    // now. The views last until the next Feed.
    using LineObserver = std::function<void(LineEnding cutting, const CallbookLine& line)>;
    void ObserveLines(LineObserver observer) { observer_ = std::move(observer); }
    std::optional<CallbookLine> LastLine() const;

  private:
    enum class LineKind : std::uint8_t { Empty, Member, Version, Odd };
    static LineKind KindOf(std::string_view text);

    struct LineCounts {
        std::uint64_t members = 0;
        std::uint64_t versions = 0;  // version lines that are not also member lines
        std::uint64_t odd = 0;
        void Add(LineKind kind);
    };

    // One way of cutting the text into lines, and what the whole lines cut so far are.
    struct Cut {
        explicit Cut(LineEnding ending) : splitter(ending) {}
        void Append(std::string_view text, const LineObserver& observer);
        // Some line, the one being cut included, is longer than kMaxLineBytes.
        bool Overlong() const { return overlong || splitter.PendingLine().overlong; }

        LineSplitter splitter;
        LineCounts counts;
        std::uint64_t lines = 0;
        bool overlong = false;
    };

    void FeedText(std::string_view text);
    void SniffHtml(std::string_view text);
    bool LineTooLong() const;
    const Cut& ChosenCut() const;
    LineCounts CountsWithLastLine() const;

    std::uint64_t maxBytes_;
    std::uint64_t size_ = 0;
    bool tooLarge_ = false;
    bool nul_ = false;
    bool html_ = false;

    TextDecoder decoder_;
    std::vector<char> text_;  // decoded pieces of a chunk

    std::uint64_t sniffed_ = 0;       // text bytes looked at for HTML tags
    std::uint8_t tagMatched_ = 0;     // characters of a possible HTML tag matched so far
    std::uint8_t tagCandidates_ = 0;  // one bit per tag still possible
    char last_ = 0;
    bool lfSeen_ = false;
    bool crSeen_ = false;
    Cut byLf_{LineEnding::LineFeed};
    Cut byCr_{LineEnding::CarriageReturn};  // fed only until the first LF
    LineObserver observer_;
    // The last line with what the decoder holds back, when that is not nothing.
    mutable std::vector<char> lastLine_;
};

}  // namespace kalvera
