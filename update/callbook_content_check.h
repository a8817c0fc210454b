#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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

// Judges a downloaded body while it streams in, without keeping any of it: whether it is a
// callbook. Text that a callbook is:
// - 8-bit (UTF-8 or Windows-1252, a UTF-8 byte-order mark allowed), or UTF-16 with its
//   byte-order mark (LE or BE);
// - cut into lines at LF, with every CR right before an LF belonging to the line end; in a
//   text without any LF but with CRs, at CR;
// - every non-empty line (blanks only count as empty) a member line, whose first field looks
//   like a callsign (blanks around it aside: 1 to 4 letters, 1 to 4 digits, up to 8 letters
//   or digits, in any letter case, as "QV27ABC") and which holds at least the six '#' of
//   seven fields; or a version line, which contains "versi: "; apart from the few odd lines
//   tolerated above, and with at least one member line;
// - no line longer than kMaxLineBytes (counted as UTF-8), no NUL, no HTML tag (<html,
//   <head, <body, <title, <script, <style, <!doctype, any case) in the first
//   kHtmlSniffChars characters.
// Chunks may split the text anywhere: inside the byte-order mark, a UTF-16 code unit, a
// marker or a line end. Memory does not grow with the body: only counters are kept.
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

  private:
    enum class Encoding : std::uint8_t { Undecided, EightBit, Utf16Le, Utf16Be };

    // Where the first field stands against the shape of a callsign.
    enum class Callsign : std::uint8_t { Blanks, Letters, Digits, Suffix, Trailing, Yes, No };

    enum class LineKind : std::uint8_t { Empty, Member, Version, Odd };

    struct LineCounts {
        std::uint64_t members = 0;
        std::uint64_t versions = 0;  // version lines that are not also member lines
        std::uint64_t odd = 0;
        void Add(LineKind kind);
    };

    // The lines of one way of cutting the text: the line being read and the lines before it.
    struct LineTally {
        std::uint64_t length = 0;   // UTF-8 bytes of the line so far
        std::uint64_t heldCrs = 0;  // CRs that are line end if an LF follows, else data
        Callsign callsign = Callsign::Blanks;
        std::uint8_t runLength = 0;   // characters in the current part of the callsign
        std::uint8_t separators = 0;  // up to the six of a member line
        std::uint8_t markerMatched = 0;
        bool marker = false;
        bool nonBlank = false;

        LineCounts counts;      // of the lines before this one
        bool overlong = false;  // some line, this one included, exceeded kMaxLineBytes

        // Adds text that holds no line end of this way of cutting. CRs at its end are held
        // back: line end if an LF follows, data otherwise.
        void AddRun(std::string_view run);
        void EndLine();
        LineKind KindOfCurrent() const;
        LineCounts CountsWithCurrent() const;

      private:
        bool IsMember() const;
        void StepCallsign(char c);
        void MatchMarker(std::string_view data);
    };

    void DecideEncoding(unsigned char byte);
    void FeedUtf16(std::string_view bytes);
    // 8-bit text. UTF-16 arrives here with ASCII as itself and any other character as a
    // placeholder byte repeated as often as the character takes bytes in UTF-8, so that
    // lengths count in UTF-8.
    void FeedText(std::string_view text);
    void SniffHtml(std::string_view text);
    bool LineTooLong() const;
    const LineTally& ChosenTally() const;

    std::uint64_t maxBytes_;
    std::uint64_t size_ = 0;
    bool tooLarge_ = false;
    bool nul_ = false;
    bool html_ = false;

    Encoding encoding_ = Encoding::Undecided;
    std::uint8_t markBytes_ = 0;  // bytes of a possible byte-order mark held back
    unsigned char markFirst_ = 0;
    bool halfUnit_ = false;  // UTF-16: the first byte of a code unit is pending
    unsigned char halfUnitByte_ = 0;

    std::uint64_t sniffed_ = 0;       // characters looked at for HTML tags
    std::uint8_t tagMatched_ = 0;     // characters of a possible HTML tag matched so far
    std::uint8_t tagCandidates_ = 0;  // one bit per tag still possible
    char last_ = 0;
    bool lfSeen_ = false;
    bool crSeen_ = false;
    LineTally byLf_;
    LineTally byCr_;  // fed only until the first LF: afterwards lines end at LF
};

}  // namespace kalvera
