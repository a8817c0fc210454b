#include "callbook_check.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "core/ascii_case.h"
#include "core/callbook_format.h"
#include "core/callbook_record.h"
#include "core/civil_date.h"
#include "core/display_text.h"
#include "messages.h"
#include "search_text.h"

namespace kalvera {
namespace {

constexpr std::array<std::string_view, kCheckKindCount> kKindNames = {
    "unfindable-callsign",
    "duplicate-callsign",
    "member-as-version",
    "byte-order-mark",
    "nul-byte",
    "overlong-line",
    "field-count",
    "odd-line",
    "unreadable-date",
    "date-form",
    "unknown-status",
    "region-spelling",
    "empty-line",
    "no-version-line",
    "utf-16",
    "old-mac-line-ends",
    "double-carriage-return",
};

// At most this many fields are looked at; a line with more is reported by its count.
constexpr std::size_t kFieldsKept = kMemberFieldCount + 1;

struct Fields {
    std::array<std::string_view, kFieldsKept> kept;
    std::size_t count = 0;
};

Fields Split(std::string_view line) {
    Fields fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t hash = line.find(kFieldSeparator, start);
        const std::size_t end = hash == std::string_view::npos ? line.size() : hash;
        if (fields.count < kFieldsKept) {
            fields.kept[fields.count] = line.substr(start, end - start);
        }
        ++fields.count;
        if (hash == std::string_view::npos) {
            return fields;
        }
        start = hash + 1;
    }
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Why typing its suffix into the search box does not find `callsign`; empty when it does.
std::string_view WhyUnfindable(std::string_view callsign) {
    static const std::string otherPrefix = "does not start with " + std::string(kCallsignPrefix);
    static const std::string tooLong = "has a suffix longer than the " +
                                       std::to_string(kSearchBoxLength) +
                                       " characters the search box holds";
    switch (TypingFinds(callsign)) {
        case Findability::Findable:
            return {};
        case Findability::BlanksAround:
            return "has blanks around it";
        case Findability::OtherPrefix:
            return otherPrefix;
        case Findability::NotText:
            return "holds a character that is not UTF-8 text";
        case Findability::OtherLetters:
            return "has letters that the search box turns into capitals as they are typed";
        case Findability::TooLong:
            return tooLong;
        case Findability::Numeric:
            return "has a numeric suffix, which the search box does not search for";
    }
    return {};
}

bool IsKnownStatus(std::string_view field) {
    // "null" is what data keepers write for no status.
    return field.empty() || EqualsLowerCased(field, kNoDate) ||
           std::any_of(kStatusWords.begin(), kStatusWords.end(),
                       [field](std::string_view word) { return EqualsLowerCased(field, word); });
}

// Three-byte characters that would break a finding's line, or hide in it, with their escapes.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kEscapedCharacters = {{
    {"\u2028", "\\u2028"},  // line separator
    {"\u2029", "\\u2029"},  // paragraph separator
    {kUtf8ByteOrderMark, "\\uFEFF"},
}};

// Appends a field as UTF-8 in quotes. A field can hold any byte but a finding is one line, so
// control characters (a CR inside a line is data), the Unicode line separators and a
// byte-order mark are shown as escapes: "2026-01-31\x0D".
void AppendQuoted(std::string& out, std::string_view bytes) {
    out.push_back('"');
    const bool plain =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (plain) {
        out.append(bytes).push_back('"');
        return;
    }
    // Not ToDisplayText, which drops a byte-order mark at the start: here it is shown.
    const std::string text = IsValidUtf8(bytes) ? std::string(bytes) : ToDisplayText(bytes);
    const auto escape = [&out](unsigned code) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += "\\x";
        out.push_back(kHex[code >> 4]);
        out.push_back(kHex[code & 15]);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view rest = std::string_view(text).substr(i);
        const auto byte = static_cast<unsigned char>(rest[0]);
        const auto next = rest.size() > 1 ? static_cast<unsigned char>(rest[1]) : 0u;
        if (byte < 0x20 || byte == 0x7F) {
            escape(byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F
            escape(next);
            i += 1;
        } else if (const auto escaped = std::find_if(
                       kEscapedCharacters.begin(), kEscapedCharacters.end(),
                       [rest](const auto& character) { return rest.starts_with(character.first); });
                   escaped != kEscapedCharacters.end()) {
            out += escaped->second;
            i += escaped->first.size() - 1;
        } else {
            out.push_back(rest[0]);
        }
    }
    out.push_back('"');
}

}  // namespace

bool IsError(CheckKind kind) {
    return kind <= CheckKind::OverlongLine;
}

std::string_view KindName(CheckKind kind) {
    return kKindNames[static_cast<std::size_t>(kind)];
}

CallbookChecker::CallbookChecker(FindingHandler onFinding) : onFinding_(std::move(onFinding)) {}

void CallbookChecker::Report(CheckKind kind, std::uint64_t line,
                             std::initializer_list<Piece> pieces) {
    ++counts_[static_cast<std::size_t>(kind)];
    // One finding's buffer serves them all: a file can hold a finding on every line.
    finding_.kind = kind;
    finding_.line = line;
    finding_.text.clear();
    for (const Piece& piece : pieces) {
        switch (piece.kind) {
            case Piece::Kind::Plain:
                finding_.text.append(piece.text);
                break;
            case Piece::Kind::Quoted:
                AppendQuoted(finding_.text, piece.text);
                break;
            case Piece::Kind::Number: {
                char digits[24];
                const auto end = std::to_chars(digits, digits + sizeof digits, piece.number).ptr;
                finding_.text.append(digits, end);
                break;
            }
        }
    }
    onFinding_(finding_);
}

void CallbookChecker::Line(const CallbookLine& line) {
    if (line.overlong) {
        Report(CheckKind::OverlongLine, line.number,
               {"line is longer than ", Piece::Of(kMaxLineBytes), " bytes; the window ignores it"});
        return;
    }
    const std::string_view text = line.text;
    const bool versionLine = IsVersionLine(text);
    sawVersionLine_ = sawVersionLine_ || versionLine;
    if (text.starts_with(kUtf8ByteOrderMark)) {
        Report(CheckKind::ByteOrderMark, line.number,
               {"line starts with a byte-order mark (U+FEFF), as where two files were pasted "
                "together; the window reads the mark as part of the line"});
    }
    if (text.find('\0') != std::string_view::npos) {
        Report(CheckKind::NulByte, line.number, {"line holds a NUL byte"});
    }
    if (std::all_of(text.begin(), text.end(), IsBlank)) {
        Report(CheckKind::EmptyLine, line.number, {"empty line"});
        return;
    }
    // A line is what its first field makes it, as for the start-up and the download: a
    // member line by a callsign, whatever else it holds, "versi: " included.
    if (HasCallsignShape(text.substr(0, text.find(kFieldSeparator)))) {
        if (versionLine) {
            Report(CheckKind::MemberAsVersion, line.number,
                   {"member line holds \"", kVersionMarker,
                    "\"; the window shows it as the database version when no version line "
                    "follows"});
        }
        MemberLine(text, line.number);
    } else if (!versionLine) {
        Report(CheckKind::OddLine, line.number,
               {"line is neither a member line (", Piece::Of(kMemberFieldCount),
                " fields separated by '", std::string_view(&kFieldSeparator, 1),
                "', the first a callsign) nor a version line (one that holds \"", kVersionMarker,
                "\")"});
    }
}

void CallbookChecker::MemberLine(std::string_view text, std::uint64_t number) {
    const Fields fields = Split(text);
    const std::string_view callsign = fields.kept[kCallsign];

    if (const std::string_view why = WhyUnfindable(callsign); !why.empty()) {
        Report(CheckKind::UnfindableCallsign, number,
               {"callsign ", Piece::Quoted(callsign), " ", why, "; the window cannot find it"});
    }
    if (const std::uint64_t first = callsigns_.FirstLine(callsign, number); first != number) {
        Report(CheckKind::DuplicateCallsign, number,
               {"callsign ", Piece::Quoted(callsign), " already stands on line ", Piece::Of(first),
                "; the window only shows that one"});
    }
    if (fields.count != kMemberFieldCount) {
        Report(CheckKind::FieldCount, number,
               {"member line has ", Piece::Of(fields.count), " fields, not ",
                Piece::Of(kMemberFieldCount)});
    }
    if (fields.count > kValidUntil) {
        ValidUntil(fields.kept[kValidUntil], number);
    }
    if (fields.count > kStatus && !IsKnownStatus(fields.kept[kStatus])) {
        static_assert(kStatusWords.size() == 4, "the finding names every status word");
        Report(CheckKind::UnknownStatus, number,
               {"status ", Piece::Quoted(fields.kept[kStatus]), " is not ", kStatusWords[0], ", ",
                kStatusWords[1], ", ", kStatusWords[2], " or ", kStatusWords[3],
                "; the date decides the status"});
    }
    if (fields.count > kRegion) {
        RegionLine(fields.kept[kRegion], number);
    }
}

void CallbookChecker::ValidUntil(std::string_view field, std::uint64_t number) {
    if (EqualsLowerCased(field, kNoDate) || field == kZeroDate) {
        return;
    }
    if (!ParseCallbookDate(field)) {
        Report(CheckKind::UnreadableDate, number,
               {"valid-until date ", Piece::Quoted(field), " is not a date (yyyy-mm-dd), ", kNoDate,
                " or ", kZeroDate, "; the status may show nothing"});
    } else if (field.size() != kDateLength) {
        // Readable, but with a one-digit month or day: only a ten-character date is turned
        // into dd-mm-yyyy.
        Report(CheckKind::DateForm, number,
               {"valid-until date ", Piece::Quoted(field),
                " is not written yyyy-mm-dd; the window shows it as written, not as dd-mm-yyyy"});
    }
}

void CallbookChecker::RegionLine(std::string_view region, std::uint64_t number) {
    auto spelling = regionSpellings_.find(region);
    if (spelling == regionSpellings_.end()) {
        const auto [first, added] = regions_.try_emplace(
            ToLowerAscii(Trimmed(region)), FirstSpelling{std::string(region), number});
        spelling =
            regionSpellings_.emplace(std::string(region), added ? nullptr : &first->second).first;
    }
    if (const FirstSpelling* first = spelling->second) {
        Report(CheckKind::RegionSpelling, number,
               {"region ", Piece::Quoted(region), " differs from ", Piece::Quoted(first->spelling),
                " (line ", Piece::Of(first->line),
                ") only in letter case or blanks; the region list shows both"});
    }
}

void CallbookChecker::Finish(const ScanSummary& scan) {
    if (scan.encoding == TextEncoding::Utf16LittleEndian ||
        scan.encoding == TextEncoding::Utf16BigEndian) {
        Report(CheckKind::Utf16, 0,
               {"saved as UTF-16 (\"Unicode\"); read right, but save it as UTF-8 or ANSI"});
    }
    if (scan.lineEnding == LineEnding::CarriageReturn) {
        Report(CheckKind::OldMacLineEnds, 0,
               {"lines end with CR alone (old Mac style); read right, but save with CR LF"});
    }
    if (scan.linesWithSeveralCarriageReturns > 0) {
        Report(CheckKind::DoubleCarriageReturn, 0,
               {Piece::Of(scan.linesWithSeveralCarriageReturns),
                " line(s) end with CR CR LF; read right, but save with CR LF"});
    }
    if (!sawVersionLine_) {
        Report(CheckKind::NoVersionLine, 0,
               {"no version line (one that holds \"", kVersionMarker,
                "\"); the window shows no version"});
    }
}

CheckResult CheckCallbook(const std::filesystem::path& callbook, const FindingHandler& onFinding) {
    CallbookChecker checker(onFinding);
    CheckResult result;
    result.scan = ScanCallbook(callbook, [&](const CallbookLine& line) {
        checker.Line(line);
        return false;
    });
    if (!result.scan.Failure()) {
        checker.Finish(result.scan);
    }
    result.counts = checker.Counts();
    return result;
}

}  // namespace kalvera
