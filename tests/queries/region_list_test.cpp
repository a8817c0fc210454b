#include "queries/region_list.h"

#include <gtest/gtest.h>

#include "core/display_text.h"
#include "queries/callbook_overview.h"
#include "support/temp_callbook.h"

namespace kalvera {
namespace {

using namespace std::chrono;
using testing::TempFolder;
using Texts = std::vector<std::string>;

constexpr CivilDate kToday{year{2026}, month{12}, day{6}};

std::string Member(std::string callsign, std::string region, std::string rest = "1#null#") {
    return callsign + "#Nama#Alamat#" + region + "#" + rest + "\r\n";
}

TEST(QueryRegions, distinctInFirstAppearanceOrder_letterCaseAndBlanksCount) {
    TempFolder folder;
    const auto file =
        folder.Write(Member("QV27A", "Kota Satu") + Member("QV27B", "Kota Dua") +
                     Member("QV27C", "Kota Satu") + Member("QV27D", "KOTA SATU") +
                     Member("QV27E", "Kab. Contoh") + Member("QV27F", "Kab. Contoh "));
    EXPECT_EQ(QueryRegions(file).regions,
              (Texts{"Kota Satu", "Kota Dua", "KOTA SATU", "Kab. Contoh", "Kab. Contoh "}));
}

TEST(QueryRegions, leadingShortLines_giveAnEmptyFirstEntry_laterOnesCarryOver) {
    TempFolder folder;
    const auto file = folder.Write("versi: 1\r\n\r\n" + Member("QV27A", "Kota Satu") +
                                   "versi: 2\r\n" + Member("QV27B", "Kota Dua"));
    EXPECT_EQ(QueryRegions(file).regions, (Texts{"", "Kota Satu", "Kota Dua"}));
}

TEST(QueryRegions, shortLineAfterAnotherRegion_addsNothing) {
    TempFolder folder;
    const auto file = folder.Write(Member("QV27A", "Kota Satu") + Member("QV27B", "Kota Dua") +
                                   "a#b\r\n" + Member("QV27C", "Kota Satu"));
    EXPECT_EQ(QueryRegions(file).regions, (Texts{"Kota Satu", "Kota Dua"}));
}

TEST(QueryRegions, emptyFile_givesOneEmptyEntry_missingFileNone) {
    TempFolder folder;
    const RegionList missing = QueryRegions(folder.Path() / "log.txt");
    EXPECT_TRUE(missing.failure && missing.failure->missing);
    EXPECT_EQ(QueryRegions(folder.Write("")).regions, (Texts{""}));
}

TEST(QueryRegionMembers, rowsCarryDisplayDateAndStatus) {
    TempFolder folder;
    const auto file = folder.Write(
        "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r\n"
        "QV27ABD#Sari#Jl. Mawar 2#Kab. Contoh#0413#NULL#baru\r\n"
        "QV27ABE#Tono#Jl. Anggrek 3#Kab. Contoh#0414#null#\r\n"
        "QV27ABF#Rina#Jl. Dahlia 4#Kab. Contoh#0415#2026-12-06#\r\n"
        "QV27ABG#Agus#Jl. Kamboja 5#Kab. Contoh#0416#0000-00-00#\r\n");
    EXPECT_EQ(
        QueryRegionMembers(file, "Kab. Contoh", kToday).rows,
        (Texts{"QV27ABC | Budi | Jl. Melati 7 | Kab. Contoh | 0412 | 31-01-2026 | PERPANJANGAN",
               "QV27ABD | Sari | Jl. Mawar 2 | Kab. Contoh | 0413 | - | BARU",
               "QV27ABE | Tono | Jl. Anggrek 3 | Kab. Contoh | 0414 | -",
               "QV27ABF | Rina | Jl. Dahlia 4 | Kab. Contoh | 0415 | 06-12-2026",
               "QV27ABG | Agus | Jl. Kamboja 5 | Kab. Contoh | 0416 | 00-00-0000 | INVALID"}));
}

// The raw line must contain the region as asked (letter case respected) before the region
// field is compared without case.
TEST(QueryRegionMembers, substringPrefilterThenWholeFieldWithoutCase) {
    TempFolder folder;
    const auto file =
        folder.Write(Member("QV27A", "KOTA DUA") + Member("QV27B", "KOTA DUA", "Kota Dua#null#") +
                     Member("QV27C", "Kota Dua Raya") +
                     "QV27D#Nama#Jl. Kota Dua#Kota Tiga#1#null#\r\n" + Member("QV27E", "Kota Dua"));
    const Texts rows = QueryRegionMembers(file, "Kota Dua", kToday).rows;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].starts_with("QV27B | "));
    EXPECT_TRUE(rows[1].starts_with("QV27E | "));
}

TEST(QueryRegionMembers, emptyRegion_listsMembersWithAnEmptyRegionField) {
    TempFolder folder;
    const auto file = folder.Write("versi: 1\r\n" + Member("QV27A", "") + Member("QV27B", "Kota"));
    const Texts rows = QueryRegionMembers(file, "", kToday).rows;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].starts_with("QV27A | "));
}

TEST(QueryRegionMembers, missingFile) {
    TempFolder folder;
    const RegionListing missing = QueryRegionMembers(folder.Path() / "log.txt", "Kota", kToday);
    EXPECT_TRUE(missing.failure && missing.failure->missing);
}

TEST(QueryRegions, pastTheLimit_noNewRegionIsTaken) {
    TempFolder folder;
    std::string text;
    for (std::size_t i = 0; i < kMaxRegions + 5; ++i) {
        text += Member("QV27A", "Kota " + std::to_string(i));
    }
    text += Member("QV27B", "Kota 0");
    const RegionList list = QueryRegions(folder.Write(text));
    EXPECT_EQ(list.cutAt, RegionLimit::Count);
    ASSERT_EQ(list.regions.size(), kMaxRegions);
    EXPECT_EQ(list.regions.front(), "Kota 0");
    EXPECT_EQ(list.regions.back(), "Kota " + std::to_string(kMaxRegions - 1));

    const std::string big(kMaxLineBytes - 100, 'r');
    std::string bigOnes;
    for (int i = 0; i < 20; ++i) {
        bigOnes += Member("QV27A", big + std::to_string(i));
    }
    const RegionList bounded = QueryRegions(folder.Write(bigOnes));
    EXPECT_EQ(bounded.cutAt, RegionLimit::Text);
    EXPECT_EQ(bounded.regions.size(), kMaxRegionBytes / big.size());
}

TEST(QueryRegions, withinTheLimits_isNotCut) {
    TempFolder folder;
    std::string text;
    for (std::size_t i = 0; i < kMaxRegions; ++i) {
        text += Member("QV27A", "Kota " + std::to_string(i % kMaxRegions));
    }
    const RegionList list = QueryRegions(folder.Write(text + Member("QV27B", "Kota 0")));
    EXPECT_EQ(list.cutAt, RegionLimit::None);
    EXPECT_EQ(list.regions.size(), kMaxRegions);
}

TEST(QueryRegionsAndVersion, onePass_givesWhatTheTwoQueriesGive) {
    TempFolder folder;
    const auto file = folder.Write("versi: 1\r\n" + Member("QV27A", "Kota Satu") +
                                   "Data versi: 2\r\n" + Member("QV27B", "Kota Dua"));
    const CallbookOverview overview = QueryRegionsAndVersion(file);
    EXPECT_EQ(overview.regions.regions, QueryRegions(file).regions);
    EXPECT_EQ(overview.version.caption, QueryDatabaseVersion(file).caption);
    EXPECT_EQ(overview.version.caption, "Database Data versi: 2 WIB");
    EXPECT_TRUE(overview.hasMemberLine);

    const CallbookOverview missing = QueryRegionsAndVersion(folder.Path() / "absent.txt");
    EXPECT_TRUE(missing.regions.failure && missing.regions.failure->missing);
    EXPECT_TRUE(missing.version.failure && missing.version.failure->missing);
}

TEST(QueryRegionsAndVersion, fileWithoutMembers_countsNone) {
    TempFolder folder;
    EXPECT_FALSE(QueryRegionsAndVersion(folder.Write(std::string(4096, '\0'))).hasMemberLine);
    EXPECT_FALSE(QueryRegionsAndVersion(folder.Write("versi: 1\r\nQV27ABC#a#b\r\n")).hasMemberLine);
    EXPECT_FALSE(QueryRegionsAndVersion(folder.Write("")).hasMemberLine);
}

TEST(QueryRegionMembers, regionInEitherSpelling_isListedOnceInFileOrder) {
    TempFolder folder;
    const std::string utf8 = "Kab. Ciamis \xC3\xA9";
    const std::string ansi = *Utf8ToWindows1252(utf8);
    EXPECT_EQ(ansi, "Kab. Ciamis \xE9");
    const auto file = folder.Write(Member("QV27A", utf8) + Member("QV27B", ansi) +
                                   Member("QV27C", "Kota") + Member("QV27D", utf8));
    Texts rows;
    const std::vector<std::string> spellings{utf8, ansi};
    EXPECT_FALSE(ForEachRegionMember(file, spellings, kToday, [&](const std::string& row) {
                     rows.push_back(row.substr(0, 5));
                 }).Failure());
    EXPECT_EQ(rows, (Texts{"QV27A", "QV27B", "QV27D"}));
}

}  // namespace
}  // namespace kalvera
