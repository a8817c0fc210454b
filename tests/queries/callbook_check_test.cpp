#include "queries/callbook_check.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_callbook.h"

namespace kalvera {
namespace {

using namespace std::string_literals;
using testing::TempFolder;

struct Seen {
    CheckKind kind;
    std::uint64_t line;
    friend bool operator==(const Seen&, const Seen&) = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
    return out << KindName(seen.kind) << "@" << seen.line;
}

// The findings of a check that read the whole file; one that did not fails the test.
std::vector<Seen> Check(const std::filesystem::path& file,
                        std::vector<std::string>* texts = nullptr) {
    std::vector<Seen> seen;
    const CheckResult result = CheckCallbook(file, [&](const CheckFinding& finding) {
        seen.push_back({finding.kind, finding.line});
        if (texts != nullptr) {
            texts->push_back(finding.text);
        }
    });
    if (result.scan.result != ScanResult::Completed) {
        ADD_FAILURE() << "the check did not read " << file << " through";
    }
    return seen;
}

TEST(CheckCallbook, cleanCallbook_hasNothingToReport) {
    TempFolder folder;
    EXPECT_EQ(Check(folder.Write("Database versi: 2026-12-01 08:00\r\n"
                                 "QV27ABC#Budi#Jl#Kota#1#2026-01-31#perpanjangan\r\n"
                                 "QV27ABD#Siti#Jl#Kota#2#null#SEUMUR HIDUP\r\n"
                                 "QV27ABE#Agus#Jl#Kota#3#0000-00-00#\r\n"
                                 "QV27ABF#Dewi#Jl#Kota#4#NULL#null\r\n")),
              std::vector<Seen>{});
}

// The sample keeps one date as data keepers sometimes write it, without leading zeros.
TEST(CheckCallbook, sampleCallbook_reportsOnlyItsDateWithoutLeadingZeros) {
    std::vector<std::string> texts;
    EXPECT_EQ(Check(KALVERA_SAMPLE_CALLBOOK, &texts),
              (std::vector<Seen>{{CheckKind::DateForm, 11}}));
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0],
              "valid-until date \"2027-3-7\" is not written yyyy-mm-dd; the window shows it as "
              "written, not as dd-mm-yyyy");
}

// A line is what its first field makes it: prose with the marker is a version line; a member
// line with it is a member still, and the banner may show it.
TEST(CheckCallbook, versionMarker_inAMemberLine_isReportedAndTheMemberCounts) {
    TempFolder folder;
    EXPECT_EQ(Check(folder.Write("Database versi: 2026-12-01 #3\r\n"
                                 "QV27ABC#Budi#Jl#Kota#1#null#baru\r\n"
                                 "QV27ABC#Budi#Jl#Kota#1#null#baru versi: 3\r\n")),
              (std::vector<Seen>{{CheckKind::MemberAsVersion, 3},
                                 {CheckKind::DuplicateCallsign, 3},
                                 {CheckKind::UnknownStatus, 3}}));
}

TEST(CheckCallbook, readableDateWithoutLeadingZeros_isShownAsWritten) {
    TempFolder folder;
    std::vector<std::string> texts;
    EXPECT_EQ(Check(folder.Write("versi: 1\n"
                                 "QV27ABA#a#b#c#1#2027-03-07#\n"
                                 "QV27ABB#a#b#c#1#2027-3-7#\n"
                                 "QV27ABC#a#b#c#1#2027-03-7#\n"
                                 "QV27ABD#a#b#c#1#2027-3-07#\n"
                                 "QV27ABE#a#b#c#1#2027-3-32#\n"),
                    &texts),
              (std::vector<Seen>{{CheckKind::DateForm, 3},
                                 {CheckKind::DateForm, 4},
                                 {CheckKind::DateForm, 5},
                                 {CheckKind::UnreadableDate, 6}}));
}

// One line per kind, each planted where a data keeper would make the mistake.
TEST(CheckCallbook, everyKind_isReportedAtItsLine) {
    TempFolder folder;
    const std::string text =
        "versi: 2026-12-01\r\n"                                        // 1
        "QV27ABC#Budi#Jl#Kota Satu#1#2026-01-31#baru\r\n"              // 2
        "QV27abc#Budi#Jl#Kota Satu#1#2026-01-31#baru\r\n"              // 3 lower case
        "QV27ABC#Dua#Jl#Kota Satu#1#2026-01-31#baru\r\n"               // 4 duplicate of 2
        "QV27ABD#Budi#Jl#Kota Satu#1#2026-01-31#baru versi: 2\r\n"     // 5 the marker
        "\xEF\xBB\xBFQV27ABE#Budi#Jl#Kota Satu#1#2026-01-31#baru\r\n"  // 6 a pasted file
        "QV27ABF#Budi#Jl#Kota Satu#1#2026-01-31\r\n"                   // 7 six fields
        "Catatan: kontak #2\r\n"                                       // 8 a note
        "QV27ABG#Budi#Jl#Kota Satu#1#2025-02-30#\r\n"                  // 9 impossible date
        "QV27ABH#Budi#Jl#Kota Satu#1#2026-01-31#perpanjang\r\n"        // 10 status typo
        "QV27ABI#Budi#Jl#KOTA SATU#1#2026-01-31#baru\r\n"              // 11 region spelling
        " \t\r\n"                                                      // 12 blanks only
        "QV27ABJ#Bu\0di#Jl#Kota Satu#1#2026-01-31#baru\r\n"            // 13 NUL
        "QV27ABK#Budi#Jl#Kota Satu #1#2026-01-31#baru\r\n"             // 14 region blank
        "QV27ABL#Budi#Jl#KOTA SATU#1#2026-01-31#baru\r\n"s;            // 15 that spelling
    std::vector<std::string> texts;
    const auto seen = Check(folder.Write(text), &texts);
    EXPECT_EQ(seen, (std::vector<Seen>{
                        {CheckKind::UnfindableCallsign, 3},
                        {CheckKind::DuplicateCallsign, 4},
                        {CheckKind::MemberAsVersion, 5},
                        {CheckKind::UnknownStatus, 5},
                        {CheckKind::ByteOrderMark, 6},
                        {CheckKind::OddLine, 6},
                        {CheckKind::FieldCount, 7},
                        {CheckKind::OddLine, 8},
                        {CheckKind::UnreadableDate, 9},
                        {CheckKind::UnknownStatus, 10},
                        {CheckKind::RegionSpelling, 11},
                        {CheckKind::EmptyLine, 12},
                        {CheckKind::NulByte, 13},
                        {CheckKind::RegionSpelling, 14},
                        {CheckKind::RegionSpelling, 15},
                    }));
    ASSERT_EQ(texts.size(), seen.size());
    EXPECT_NE(texts[1].find("line 2"), std::string::npos) << texts[1];
    EXPECT_NE(texts[4].find("byte-order mark"), std::string::npos) << texts[4];
    EXPECT_NE(texts[10].find("\"Kota Satu\" (line 2)"), std::string::npos) << texts[10];
}

TEST(CheckCallbook, aLineIsReportedOncePerKind) {
    TempFolder folder;
    const auto seen =
        Check(folder.Write("versi: 1\nqv27abcd##x#y#z#q#w#e#r\nQV27A#a#b#c#1#null#\n"
                           "QV27A#a#b#c#1#null#\nQV27A#a#b#c#1#null#\n"));
    EXPECT_EQ(seen, (std::vector<Seen>{{CheckKind::UnfindableCallsign, 2},
                                       {CheckKind::FieldCount, 2},
                                       {CheckKind::UnreadableDate, 2},
                                       {CheckKind::UnknownStatus, 2},
                                       {CheckKind::DuplicateCallsign, 4},
                                       {CheckKind::DuplicateCallsign, 5}}));
}

TEST(CheckCallbook, wholeFileFindings_comeLast) {
    TempFolder folder;
    EXPECT_EQ(Check(folder.Write("QV27A#a#b#c#1#null#\rQV27B#a#b#c#1#null#\r")),
              (std::vector<Seen>{{CheckKind::OldMacLineEnds, 0}, {CheckKind::NoVersionLine, 0}}));
    EXPECT_EQ(Check(folder.Write("versi: 1\r\r\nQV27A#a#b#c#1#null#\r\n")),
              (std::vector<Seen>{{CheckKind::DoubleCarriageReturn, 0}}));
    EXPECT_EQ(Check(folder.Write(std::string("\xFF\xFEv\0:\0", 6))),
              (std::vector<Seen>{
                  {CheckKind::OddLine, 1}, {CheckKind::Utf16, 0}, {CheckKind::NoVersionLine, 0}}));
    const std::string overlong(kMaxLineBytes + 1, 'x');
    EXPECT_EQ(Check(folder.Write("versi: 1\n" + overlong + "\n")),
              (std::vector<Seen>{{CheckKind::OverlongLine, 2}}));
}

// A finding is one line of text whatever the field holds: a CR inside a line is data, and so
// are other control characters and the Unicode line separator; a byte-order mark is shown.
TEST(CheckCallbook, controlCharactersInAField_areShownAsEscapes) {
    TempFolder folder;
    std::vector<std::string> texts;
    const auto seen = Check(folder.Write("versi: 1\r\n"
                                         "QV27ABC#a#b#c#1#2026-01-31\r#baru\r\n"
                                         "QV27ABD#a#b#c#1#null#\xEF\xBB\xBF"
                                         "baru\x1B[2J\xE2\x80\xA8\xC2\x85\r\n"),
                            &texts);
    EXPECT_EQ(seen,
              (std::vector<Seen>{{CheckKind::UnreadableDate, 2}, {CheckKind::UnknownStatus, 3}}));
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NE(texts[0].find("\"2026-01-31\\x0D\""), std::string::npos) << texts[0];
    EXPECT_NE(texts[1].find("\"\\uFEFFbaru\\x1B[2J\\u2028\\x85\""), std::string::npos) << texts[1];
}

TEST(CheckCallbook, testHelper_fileNotReadThrough_failsTheTest) {
    TempFolder folder;
    EXPECT_NONFATAL_FAILURE(Check(folder.Path() / "log.txt"), "did not read");
}

TEST(CheckCallbook, missingFile_isReportedAsSuch) {
    TempFolder folder;
    const CheckResult result = CheckCallbook(folder.Path() / "log.txt", [](const CheckFinding&) {
        ADD_FAILURE() << "no finding for a missing file";
    });
    EXPECT_EQ(result.scan.result, ScanResult::FileMissing);
}

}  // namespace
}  // namespace kalvera
