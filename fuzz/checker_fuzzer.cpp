// The data keepers' check, fed lines: findings are single lines of UTF-8 about the line in
// hand (or, at the end, the whole file), a line is reported at most once per kind, and the
// kinds of line (empty, member, version, neither), counts, duplicates and whole-file findings
// agree with a plain model.
//
// Input: a byte for the pass's summary (bits 0-1 encoding, bit 2 CR line ends, bit 3 lines
// with CR CR LF), then lines separated by LF; a line that starts with 0x01 stands for an
// overlong one.

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

#include "core/callbook_format.h"
#include "core/callbook_record.h"
#include "fuzz_support.h"
#include "queries/callbook_check.h"

namespace kalvera::fuzz {
namespace {

bool IsWholeFileKind(CheckKind kind) {
    return kind == CheckKind::NoVersionLine || kind == CheckKind::Utf16 ||
           kind == CheckKind::OldMacLineEnds || kind == CheckKind::DoubleCarriageReturn;
}

// Breaks a line in a terminal or a log, or hides in it: C0 and C1 controls, DEL, the Unicode
// line and paragraph separators, and the byte-order mark.
bool BreaksLine(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
           code == 0xFEFF;
}

// The kinds only a member line gets.
constexpr CheckKind kMemberKinds[] = {
    CheckKind::UnfindableCallsign, CheckKind::DuplicateCallsign, CheckKind::MemberAsVersion,
    CheckKind::FieldCount,         CheckKind::UnreadableDate,    CheckKind::DateForm,
    CheckKind::UnknownStatus,      CheckKind::RegionSpelling,
};

}  // namespace
}  // namespace kalvera::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalvera;
    using namespace kalvera::fuzz;
    if (size < 1) {
        return 0;
    }
    ScanSummary summary;
    summary.encoding = static_cast<TextEncoding>(data[0] & 3);
    summary.lineEnding = data[0] & 4 ? LineEnding::CarriageReturn : LineEnding::LineFeed;
    summary.linesWithSeveralCarriageReturns = data[0] & 8 ? 1 : 0;

    std::uint64_t current = 0;  // the line being checked; 0 once the lines are done
    std::set<std::pair<std::uint64_t, CheckKind>> reported;
    std::array<std::uint64_t, kCheckKindCount> counts{};
    std::set<CheckKind> kindsOnCurrentLine;
    CallbookChecker checker([&](const CheckFinding& finding) {
        FUZZ_CHECK(finding.line == current, "a finding about line %llu while checking line %llu",
                   static_cast<unsigned long long>(finding.line),
                   static_cast<unsigned long long>(current));
        FUZZ_CHECK(IsWholeFileKind(finding.kind) == (finding.line == 0), "finding %s on line %llu",
                   std::string(KindName(finding.kind)).c_str(),
                   static_cast<unsigned long long>(finding.line));
        FUZZ_CHECK(reported.emplace(finding.line, finding.kind).second,
                   "line %llu reported twice as %s", static_cast<unsigned long long>(finding.line),
                   std::string(KindName(finding.kind)).c_str());
        FUZZ_CHECK(!finding.text.empty() && IsWellFormedUtf8(finding.text),
                   "finding text is not UTF-8: \"%s\"", Escaped(finding.text).c_str());
        for (char32_t code : CodePoints(finding.text)) {
            FUZZ_CHECK(!BreaksLine(code), "finding text is not one line: \"%s\"",
                       Escaped(finding.text).c_str());
        }
        ++counts[static_cast<std::size_t>(finding.kind)];
        kindsOnCurrentLine.insert(finding.kind);
    });

    std::unordered_map<std::string, std::uint64_t> firstLineOfCallsign;
    bool sawVersion = false;
    const std::string_view text = Bytes(data + 1, size - 1);
    for (std::string_view lineText : SplitAt(text, '\n')) {
        ++current;
        kindsOnCurrentLine.clear();
        CallbookLine line;
        line.number = current;
        line.overlong = lineText.starts_with('\x01');
        line.text = line.overlong ? std::string_view{} : lineText;
        checker.Line(line);

        if (line.overlong) {
            FUZZ_CHECK(kindsOnCurrentLine == std::set<CheckKind>{CheckKind::OverlongLine},
                       "an overlong line needs exactly its own finding");
            continue;
        }
        const bool versionLine = Contains(lineText, kVersionMarker);
        sawVersion = sawVersion || versionLine;
        const bool blank = std::all_of(lineText.begin(), lineText.end(), IsBlank);
        const bool member = !blank && HasCallsignShape(SplitAt(lineText, '#').front());
        FUZZ_CHECK(kindsOnCurrentLine.contains(CheckKind::EmptyLine) == blank,
                   "empty-line on line %llu", static_cast<unsigned long long>(current));
        FUZZ_CHECK(kindsOnCurrentLine.contains(CheckKind::NulByte) ==
                       (lineText.find('\0') != std::string_view::npos),
                   "nul-byte on line %llu", static_cast<unsigned long long>(current));
        FUZZ_CHECK(kindsOnCurrentLine.contains(CheckKind::ByteOrderMark) ==
                       lineText.starts_with(kUtf8ByteOrderMark),
                   "byte-order-mark on line %llu", static_cast<unsigned long long>(current));
        FUZZ_CHECK(
            kindsOnCurrentLine.contains(CheckKind::OddLine) == (!blank && !member && !versionLine),
            "odd-line on line %llu", static_cast<unsigned long long>(current));
        FUZZ_CHECK(
            kindsOnCurrentLine.contains(CheckKind::MemberAsVersion) == (member && versionLine),
            "member-as-version on line %llu", static_cast<unsigned long long>(current));
        if (!member) {
            for (const CheckKind kind : kMemberKinds) {
                FUZZ_CHECK(!kindsOnCurrentLine.contains(kind),
                           "line %llu, no member line, reported as one: %s",
                           static_cast<unsigned long long>(current),
                           std::string(KindName(kind)).c_str());
            }
        }
        bool duplicate = false;
        if (member) {
            const std::string callsign(SplitAt(lineText, '#').front());
            duplicate = !firstLineOfCallsign.emplace(callsign, current).second;
        }
        FUZZ_CHECK(kindsOnCurrentLine.contains(CheckKind::DuplicateCallsign) == duplicate,
                   "duplicate-callsign on line %llu should be %d",
                   static_cast<unsigned long long>(current), int(duplicate));
    }
    current = 0;
    kindsOnCurrentLine.clear();
    checker.Finish(summary);

    const bool utf16 = summary.encoding == TextEncoding::Utf16LittleEndian ||
                       summary.encoding == TextEncoding::Utf16BigEndian;
    FUZZ_CHECK(kindsOnCurrentLine.contains(CheckKind::NoVersionLine) == !sawVersion &&
                   kindsOnCurrentLine.contains(CheckKind::Utf16) == utf16 &&
                   kindsOnCurrentLine.contains(CheckKind::OldMacLineEnds) ==
                       (summary.lineEnding == LineEnding::CarriageReturn) &&
                   kindsOnCurrentLine.contains(CheckKind::DoubleCarriageReturn) ==
                       (summary.linesWithSeveralCarriageReturns > 0),
               "whole-file findings disagree with the summary");
    FUZZ_CHECK(checker.Counts() == counts, "counts disagree with the findings handed over");
    return 0;
}
