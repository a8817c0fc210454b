#include "queries/callsign_lookup.h"

#include <gtest/gtest.h>

#include "support/failing_input.h"
#include "support/temp_callbook.h"

namespace kalvera {
namespace {

using namespace std::chrono;
using testing::TempFolder;

constexpr CivilDate kToday{year{2026}, month{12}, day{6}};

LookupResult Lookup(const TempFolder& folder, std::string_view key) {
    return QueryCallsign(folder.Path() / "log.txt", key, kToday);
}

TEST(QueryCallsign, found_fillsTheSevenBoxesAndTheColour) {
    TempFolder folder;
    folder.Write(
        "versi: 2026-12-01 08:00\r\n"
        "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r\n");
    const LookupResult result = Lookup(folder, "QV27ABC");
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.details,
              (std::array<std::string, 7>{"QV27ABC", "Budi", "Jl. Melati 7", "Kab. Contoh", "0412",
                                          "31-01-2026", "PERPANJANGAN"}));
    EXPECT_EQ(result.statusColour, kGreen);
}

TEST(QueryCallsign, prefixOfAnotherCallsign_findsOnlyItsOwnLine) {
    TempFolder folder;
    folder.Write("QV27ABC#Panjang#a#b#1#null#\r\nQV27AB#Pendek#a#b#2#null#\r\n");
    EXPECT_EQ(Lookup(folder, "QV27AB").details[1], "Pendek");
    EXPECT_EQ(Lookup(folder, "QV27ABC").details[1], "Panjang");
}

// The key test's first half passes on another field, its second on the callsign upper-cased.
TEST(QueryCallsign, lowercaseCallsignWithTheKeyElsewhereInTheLine_isFound) {
    TempFolder folder;
    folder.Write("qv27abc#QV27ABC#a#b#1#null#\r\n");
    EXPECT_TRUE(Lookup(folder, "QV27ABC").found);
}

TEST(QueryCallsign, keyInsideAnotherField_isNotAMatch) {
    TempFolder folder;
    folder.Write("QV27XYZ#Teman QV27ABC#a#b#1#null#\r\n");
    EXPECT_FALSE(Lookup(folder, "QV27ABC").found);
}

TEST(QueryCallsign, duplicateCallsign_firstLineWins) {
    TempFolder folder;
    folder.Write("QV27ABC#Pertama#a#b#1#null#\nQV27ABC#Kedua#a#b#2#null#\n");
    EXPECT_EQ(Lookup(folder, "QV27ABC").details[1], "Pertama");
}

TEST(QueryCallsign, noStatus_leavesStatusEmptyAndUncoloured) {
    TempFolder folder;
    folder.Write("QV27ABC#Budi#a#b#1#NULL#\r\n");
    const LookupResult result = Lookup(folder, "QV27ABC");
    EXPECT_EQ(result.details[5], "-");
    EXPECT_EQ(result.details[6], "");
    EXPECT_FALSE(result.statusColour);
}

TEST(QueryCallsign, shortMemberLine_showsMissingFieldsEmpty) {
    TempFolder folder;
    folder.Write("QV27ABC#Budi#Jl. Kenanga\r\n");
    const LookupResult result = Lookup(folder, "QV27ABC");
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.details[2], "Jl. Kenanga");
    EXPECT_EQ(result.details[3], "");
    EXPECT_FALSE(result.statusColour);
}

TEST(QueryCallsign, bareprefix_matchesOnlyAFieldThatIsExactlyThePrefix) {
    TempFolder folder;
    folder.Write("QV27ABC#a#b#c#1#null#\r\n");
    EXPECT_FALSE(Lookup(folder, "QV27").found);
    folder.Write("QV27ABC#a#b#c#1#null#\r\nQV27#Prefiks#b#c#1#null#\r\n");
    EXPECT_EQ(Lookup(folder, "QV27").details[1], "Prefiks");
}

TEST(QueryCallsign, windows1252Fields_areShownAsUtf8) {
    TempFolder folder;
    folder.Write("QV27ABC#Ren\xE9#a#b#1#null#\r\n");
    EXPECT_EQ(Lookup(folder, "QV27ABC").details[1], "Ren\xC3\xA9");
}

TEST(QueryCallsign, emptyOrMissingFile) {
    TempFolder folder;
    const LookupResult missing = Lookup(folder, "QV27ABC");
    ASSERT_TRUE(missing.failure);
    EXPECT_TRUE(missing.failure->missing);
    folder.Write("");
    EXPECT_FALSE(Lookup(folder, "QV27ABC").found);
}

// Three ways an editor may save the callbook; each member must still be found, with the
// status word recognised.
TEST(QueryCallsign, editorFormats_utf16OldMacAndDoubleCr_areReadRight) {
    const std::string line = "QV27ABC#Budi#Jl#Kota#1#2020-01-01#baru";
    std::string utf16 = "\xFF\xFE";
    for (char c : "versi: 1\r\n" + line + "\r\n") {
        utf16 += std::string{c, '\0'};
    }
    for (const std::string& content : {utf16, "versi: 1\r" + line + "\rQV27X#a#b#c#1#null#\r",
                                       "versi: 1\r\r\n" + line + "\r\r\n"}) {
        TempFolder folder;
        folder.Write(content);
        const LookupResult result = Lookup(folder, "QV27ABC");
        ASSERT_TRUE(result.found);
        EXPECT_EQ(result.details[kStatus], "BARU");
        EXPECT_EQ(result.statusColour, kGreen);
    }
}

TEST(QueryCallsign, readFailingBeforeTheMember_isAReadErrorNotANotFound) {
    TempFolder folder;
    std::string text;
    for (int i = 0; i < 30000; ++i) {
        text += "QV27" + std::to_string(i) + "#Nama#Alamat#Kota#1#null#\r\n";
    }
    folder.Write(text + "QV27ZZZ#Akhir#a#b#1#null#baru\r\n");
    testing::ReadFailureAfter failure(text.size() / 2);
    const LookupResult late = Lookup(folder, "QV27ZZZ");
    ASSERT_TRUE(late.failure);
    EXPECT_FALSE(late.failure->missing);
    EXPECT_FALSE(late.failure->error.empty());
    EXPECT_FALSE(late.found);
    EXPECT_TRUE(Lookup(folder, "QV2712").found) << "before the failure";
}

}  // namespace
}  // namespace kalvera
