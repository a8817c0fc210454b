#include "callbook_check.h"

#include <algorithm>
#include <charconv>

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
    "nul-byte",
    "overlong-line",
    "field-count",
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

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

// Why no key that the window builds (the prefix and up to three typed characters, trimmed
// and in capitals) can ever match `callsign`; empty when one can.
std::string_view WhyUnfindable(std::string_view callsign) {
    static const std::string otherPrefix = "does not start with " + std::string(kCallsignPrefix);
    if (!callsign.empty() && (IsBlank(callsign.front()) || IsBlank(callsign.back()))) {
        return "has blanks around it";
    }
    if (!callsign.starts_with(kCallsignPrefix)) {
        return EqualsUpperCased(callsign.substr(0, kCallsignPrefix.size()), kCallsignPrefix)
                   ? "has lower-case letters"
                   : std::string_view(otherPrefix);
    }
    const std::string_view suffix = callsign.substr(kCallsignPrefix.size());
    for (char c : suffix) {
        if (c >= 'a' && c <= 'z') {
            return "has lower-case letters";
        }
    }
    if (!IsValidUtf8(suffix)) {
        return "holds a character that is not UTF-8 text";
    }
    if (CharacterCount(suffix) > 3) {
        return "has a suffix longer than three characters";
    }
    if (IsNumericSearchText(suffix)) {
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

// Appends a field as UTF-8 in quotes. A field can hold any byte but a finding is one line, so
// control characters (a CR inside a line is data) and the Unicode line separators are shown
// as escapes: "2026-01-31\x0D".
void AppendQuoted(std::string& out, std::string_view bytes) {
    out.push_back('"');
    const bool plain =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (plain) {
        out.append(bytes).push_back('"');
        return;
    }
    const std::string text = ToDisplayText(bytes);
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
        } else if (rest.starts_with("\u2028") || rest.starts_with("\u2029")) {
            out += rest.starts_with("\u2028") ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out.push_back(rest[0]);
        }
    }
    out.push_back('"');
}

}  // namespace

bool IsError(CheckKind kind) {
    return kind == CheckKind::UnfindableCallsign || kind == CheckKind::DuplicateCallsign ||
           kind == CheckKind::NulByte || kind == CheckKind::OverlongLine;
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
    if (text.find('\0') != std::string_view::npos) {
        Report(CheckKind::NulByte, line.number, {"line holds a NUL byte"});
    }
    if (text.empty()) {
        Report(CheckKind::EmptyLine, line.number, {"empty line"});
        return;
    }
    // A version line is never a member, whatever else it holds: the window shows it as the
    // banner, and data keepers write it with any text around the marker.
    if (versionLine) {
        return;
    }
    if (text.find(kFieldSeparator) != std::string_view::npos) {
        MemberLine(text, line.number);
    } else {
        Report(CheckKind::FieldCount, line.number,
               {"line is neither a member line (", Piece::Of(kMemberFieldCount),
                " fields separated by '", std::string_view(&kFieldSeparator, 1),
                "') nor a version line"});
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
