#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/callbook_reader.h"
#include "first_line_index.h"

namespace kalvera {

// What the data keepers' check can find in a callbook. Errors are members the window can
// never show, or shows wrongly; warnings are lines the window reads other than meant. Errors
// come first (IsError goes by the order).
enum class CheckKind {
    UnfindableCallsign,    // error: typing its suffix does not find it (TypingFinds)
    DuplicateCallsign,     // error: an earlier line has the same callsign and always wins
    MemberAsVersion,       // error: a member line that the banner may show as the version
    ByteOrderMark,         // error: a line starts with one, as where two files were pasted
    NulByte,               // error
    OverlongLine,          // error: longer than kMaxLineBytes, ignored by every reader
    FieldCount,            // warning: a member line with other than seven fields
    OddLine,               // warning: neither a member line nor a version line
    UnreadableDate,        // warning: the status then shows nothing
    DateForm,              // warning: a date not written yyyy-mm-dd is shown as written
    UnknownStatus,         // warning: the date then decides
    RegionSpelling,        // warning: one region written two ways splits the region list
    EmptyLine,             // warning: nothing but blanks
    NoVersionLine,         // warning, whole file
    Utf16,                 // warning, whole file
    OldMacLineEnds,        // warning, whole file
    DoubleCarriageReturn,  // warning, whole file
};
inline constexpr std::size_t kCheckKindCount = 17;

bool IsError(CheckKind kind);
// A short name for counts ("duplicate-callsign").
std::string_view KindName(CheckKind kind);

struct CheckFinding {
    CheckKind kind;
    std::uint64_t line = 0;  // 0: about the whole file
    std::string text;        // UTF-8, one line
};

using FindingHandler = std::function<void(const CheckFinding&)>;

// The rules, a line at a time, in file order. A line is reported at most once per kind, and
// lines that are fine are never mentioned. Memory grows only with the number of distinct
// callsigns and regions.
class CallbookChecker {
  public:
    explicit CallbookChecker(FindingHandler onFinding);

    void Line(const CallbookLine& line);
    // The whole-file findings, once every line has been seen.
    void Finish(const ScanSummary& scan);

    const std::array<std::uint64_t, kCheckKindCount>& Counts() const { return counts_; }

  private:
    struct FirstSpelling {
        std::string spelling;
        std::uint64_t line = 0;
    };

    // A piece of a finding's text: words, a field shown in quotes, or a number.
    struct Piece {
        enum class Kind { Plain, Quoted, Number };
        Piece(const char* words) : text(words) {}  // NOLINT: pieces are written as literals
        Piece(std::string_view words) : text(words) {}
        static Piece Quoted(std::string_view field) {
            Piece piece(field);
            piece.kind = Kind::Quoted;
            return piece;
        }
        static Piece Of(std::uint64_t value) {
            Piece piece("");
            piece.kind = Kind::Number;
            piece.number = value;
            return piece;
        }
        std::string_view text;
        Kind kind = Kind::Plain;
        std::uint64_t number = 0;
    };

    void Report(CheckKind kind, std::uint64_t line, std::initializer_list<Piece> pieces);
    void MemberLine(std::string_view text, std::uint64_t number);
    void ValidUntil(std::string_view field, std::uint64_t number);
    void RegionLine(std::string_view region, std::uint64_t number);

    FindingHandler onFinding_;
    CheckFinding finding_{};
    std::array<std::uint64_t, kCheckKindCount> counts_{};
    struct TransparentHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };

    FirstLineIndex callsigns_;
    // Each region spelling once, with the earlier spelling it differs from (none for a first
    // spelling), so only a new spelling is compared with the others.
    std::unordered_map<std::string, const FirstSpelling*, TransparentHash, std::equal_to<>>
        regionSpellings_;
    std::unordered_map<std::string, FirstSpelling> regions_;  // by lower case, trimmed
    bool sawVersionLine_ = false;
};

struct CheckResult {
    ScanSummary scan;  // with a Failure(), the findings are not complete
    std::array<std::uint64_t, kCheckKindCount> counts{};
};

// Reads the callbook once, with the same reader as the window, and hands over each finding
// as it is made: lines in order, whole-file findings last.
CheckResult CheckCallbook(const std::filesystem::path& callbook, const FindingHandler& onFinding);

}  // namespace kalvera
