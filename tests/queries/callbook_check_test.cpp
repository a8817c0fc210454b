#include "queries/callbook_check.h"

#include <gtest/gtest.h>

#include <string>

#include "queries/first_line_index.h"

#include "support/temp_callbook.h"

namespace kalvera {
namespace {

using namespace std::string_literals;

// Findings as "LINE KIND", in order; the texts are the tool's to show (kalvera_callbook_test).
std::string Findings(const std::string& callbook) {
    testing::TempFolder folder;
    std::string seen;
    const CheckResult result =
        CheckCallbook(folder.Write(callbook), [&](const CheckFinding& finding) {
            seen += std::to_string(finding.line) + " " + std::string(KindName(finding.kind)) + ", ";
            EXPECT_EQ(IsError(finding.kind), finding.kind <= CheckKind::OverlongLine);
        });
    EXPECT_FALSE(result.scan.Failure());
    return seen;
}

// What the tool's transcript of every kind (kalvera_callbook_test) does not show: a line with
// too few fields, a NUL in a member line, a region differing in a blank, a line reported once
// for each of its kinds, one line ending in CR CR LF (its member the bare prefix, which typing
// a blank finds), and several whole-file findings after the lines, in their order.
TEST(CheckCallbook, eachKindOnceAtItsLine_wholeFileFindingsLast) {
    struct Case {
        std::string callbook;
        std::string findings;
    };
    for (const Case& c : {
             Case{"versi: 2026-12-01\r\nQV27ABC#Budi#Jl#Kota Satu#1#2026-01-31#baru\r\n"
                  "QV27ABF#Budi#Jl#Kota Satu#1#2026-01-31\r\n"
                  "QV27ABJ#Bu\0di#Jl#Kota Satu#1#2026-01-31#baru\r\n"s
                  "QV27ABK#Budi#Jl#Kota Satu #1#2026-01-31#baru\r\n"
                  "QV27ABL#Budi#Jl#KOTA SATU#1#2026-01-31#baru\r\n"
                  "qv27abcd##x#y#z#q#w#e#r\r\n",
                  "3 field-count, 4 nul-byte, 5 region-spelling, 6 region-spelling, 7 "
                  "unfindable-callsign, 7 field-count, 7 unreadable-date, 7 unknown-status, "},
             Case{"QV27A#a#b#c#1#null#\rQV27B#a#b#c#1#null#\r",
                  "0 old-mac-line-ends, 0 no-version-line, "},
             Case{"versi: 1\r\r\nQV27#a#b#c#1#null#\r\n", "0 double-carriage-return, "},
             Case{"\xFF\xFEv\0:\0"s, "1 odd-line, 0 utf-16, 0 no-version-line, "},
         }) {
        EXPECT_EQ(Findings(c.callbook), c.findings);
    }
}

// Enough texts for the table to grow several times; each repeat must find its first line.
TEST(FirstLineIndex, everyRepeat_findsTheFirstLineAcrossGrowth) {
    FirstLineIndex index;
    constexpr std::uint64_t kTexts = 20000;
    for (std::uint64_t line = 1; line <= kTexts; ++line) {
        ASSERT_EQ(index.FirstLine("QV27" + std::to_string(line), line), line);
    }
    for (std::uint64_t line = 1; line <= kTexts; ++line) {
        ASSERT_EQ(index.FirstLine("QV27" + std::to_string(line), kTexts + line), line);
    }
    EXPECT_EQ(index.FirstLine("", 99999), 99999u);
    EXPECT_EQ(index.FirstLine("", 100000), 99999u);
    const std::string longest(65535, 'x');
    EXPECT_EQ(index.FirstLine(longest, 7), 7u);
    EXPECT_EQ(index.FirstLine(longest, 8), 7u);
    EXPECT_EQ(index.Size(), kTexts + 2);
}

}  // namespace
}  // namespace kalvera
