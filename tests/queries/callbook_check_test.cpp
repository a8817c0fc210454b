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

// Each kind planted where a data keeper would make the mistake; a line is reported once per
// kind, whole-file findings come last.
TEST(CheckCallbook, everyKind_isReportedAtItsLine) {
    const std::string member = "#Budi#Jl#Kota Satu#1#2026-01-31#baru\r\n";
    const std::string overlong(kMaxLineBytes + 1, 'x');
    struct Case {
        std::string callbook;
        std::string findings;
    };
    for (const Case& c : {
             Case{"Database versi: 2026-12-01 08:00\r\n"
                  "QV27ABC#Budi#Jl#Kota#1#2026-01-31#perpanjangan\r\n"
                  "QV27ABD#Siti#Jl#Kota#2#null#SEUMUR HIDUP\r\n"
                  "QV27ABE#Agus#Jl#Kota#3#0000-00-00#\r\n"
                  "QV27ABF#Dewi#Jl#Kota#4#NULL#null\r\n",
                  ""},
             Case{"versi: 2026-12-01\r\n"
                  "QV27ABC" +
                      member + "QV27abc" + member +
                      "QV27ABC#Dua#Jl#Kota Satu#1#2026-01-31#baru\r\n"
                      "QV27ABD#Budi#Jl#Kota Satu#1#2026-01-31#baru versi: 2\r\n"
                      "\xEF\xBB\xBFQV27ABE" +
                      member +
                      "QV27ABF#Budi#Jl#Kota Satu#1#2026-01-31\r\n"
                      "Catatan: kontak #2\r\n"
                      "QV27ABG#Budi#Jl#Kota Satu#1#2025-02-30#\r\n"
                      "QV27ABH#Budi#Jl#Kota Satu#1#2026-01-31#perpanjang\r\n"
                      "QV27ABI#Budi#Jl#KOTA SATU#1#2026-01-31#baru\r\n"
                      " \t\r\n"
                      "QV27ABJ#Bu\0di#Jl#Kota Satu#1#2026-01-31#baru\r\n"s
                      "QV27ABK#Budi#Jl#Kota Satu #1#2026-01-31#baru\r\n"
                      "QV27ABL#Budi#Jl#KOTA SATU#1#2026-01-31#baru\r\n"
                      "QV27ABM#a#b#c#1#2027-3-7#\r\n"
                      "qv27abcd##x#y#z#q#w#e#r\r\n" +
                      overlong + "\r\n",
                  "3 unfindable-callsign, 4 duplicate-callsign, 5 member-as-version, 5 "
                  "unknown-status, 6 byte-order-mark, 6 odd-line, 7 field-count, 8 odd-line, 9 "
                  "unreadable-date, 10 unknown-status, 11 region-spelling, 12 empty-line, 13 "
                  "nul-byte, 14 region-spelling, 15 region-spelling, 16 date-form, 17 "
                  "unfindable-callsign, 17 field-count, 17 unreadable-date, 17 unknown-status, 18 "
                  "overlong-line, "},
             Case{"QV27A#a#b#c#1#null#\rQV27B#a#b#c#1#null#\r",
                  "0 old-mac-line-ends, 0 no-version-line, "},
             Case{"versi: 1\r\r\nQV27A#a#b#c#1#null#\r\n", "0 double-carriage-return, "},
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
