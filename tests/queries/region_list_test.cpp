#include "queries/region_list.h"

#include <gtest/gtest.h>

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
    EXPECT_TRUE(QueryRegions(folder.Path() / "log.txt").fileMissing);
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
    EXPECT_TRUE(QueryRegionMembers(folder.Path() / "log.txt", "Kota", kToday).fileMissing);
}

}  // namespace
}  // namespace kalvera
