// The window's queries on a callbook: the lookup, the region list and listing, the version
// banner, and the one pass at start-up.

#include <gtest/gtest.h>

#include "core/display_text.h"
#include "queries/callbook_overview.h"
#include "queries/callsign_lookup.h"
#include "queries/region_list.h"
#include "queries/version_banner.h"
#include "support/failing_input.h"
#include "support/temp_callbook.h"

namespace kalvera {
namespace {

using namespace std::chrono;
using testing::TempFolder;
using Texts = std::vector<std::string>;

constexpr CivilDate kToday{year{2026}, month{12}, day{6}};

// The whole result as the window shows it: the seven boxes, then the status colour.
std::string Shown(const LookupResult& result) {
    if (result.failure) {
        return result.failure->missing ? "missing" : "read error: " + result.failure->error;
    }
    std::string shown = result.found ? "" : "not found";
    if (result.details != decltype(result.details){}) {
        for (const std::string& text : result.details) {
            shown += text + "|";
        }
    }
    if (const auto colour = result.statusColour) {
        shown += *colour == kGreen ? "green" : *colour == kRed ? "red" : "other";
    }
    return shown;
}

// The first line whose callsign upper-cased is the key and that holds the key as typed.
TEST(QueryCallsign, firstLineWhoseCallsignIsTheKey_asTheWindowShowsIt) {
    TempFolder folder;
    const auto file = folder.Write(
        "versi: 1\r\nQV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r\n"
        "QV27ABC#Kedua#a#b#2#null#\nQV27AB#Pendek#a#b#2#null#\r\nQV27ABz#QV27ABZ#a#b#1#null#\r\n"
        "qv27abe#a#b#c#1#null#\r\nQV27XYZ#Teman QV27ABF#a#b#1#null#\r\nQV27ABG#Budi#Jl. 9\r\n"
        "QV27#P#b#c#1#2030-01-01#\r\nQV27ABH#Ren\xE9#a#b#1#0000-00-00#\r\n");
    for (const auto& [key, shown] : std::initializer_list<std::pair<const char*, const char*>>{
             {"QV27ABC",
              "QV27ABC|Budi|Jl. Melati 7|Kab. Contoh|0412|31-01-2026|PERPANJANGAN|green"},
             {"QV27AB", "QV27AB|Pendek|a|b|2|-||"},
             {"QV27ABZ", "QV27ABz|QV27ABZ|a|b|1|-||"},  // the key stands in another field
             {"QV27ABE", "not found"},
             {"QV27ABF", "not found"},
             {"QV27ABG", "QV27ABG|Budi|Jl. 9|||||"},
             {"QV27", "QV27|P|b|c|1|01-01-2030|VALID|green"},
             {"QV27ABH", "QV27ABH|Ren\xC3\xA9|a|b|1|00-00-0000|INVALID|red"}}) {
        EXPECT_EQ(Shown(QueryCallsign(file, key, kToday)), shown);
    }
    EXPECT_EQ(Shown(QueryCallsign(folder.Write(""), "QV27ABC")), "not found");
}

std::string Member(std::string callsign, std::string region, std::string rest = "1#null#") {
    return callsign + "#Nama#Alamat#" + region + "#" + rest + "\r\n";
}

// Distinct region fields in the order they first appear, as stored; a line with fewer than
// four fields carries the region before it, the empty text before the first.
TEST(QueryRegions, distinctInFirstAppearanceOrder_shortLinesCarryTheRegionBefore) {
    for (const auto& [callbook, regions] : std::initializer_list<std::pair<std::string, Texts>>{
             {Member("QV27A", "Kota Satu") + Member("QV27B", "Kota Dua") +
                  Member("QV27C", "Kota Satu") + Member("QV27D", "KOTA SATU") +
                  Member("QV27E", "Kab. Contoh") + Member("QV27F", "Kab. Contoh ") +
                  "a#b\r\nc#d#e#Akhir",
              {"Kota Satu", "Kota Dua", "KOTA SATU", "Kab. Contoh", "Kab. Contoh ", "Akhir"}},
             {"versi: 1\r\n\r\n" + Member("QV27A", "Kota Satu") + "versi: 2\r\n",
              {"", "Kota Satu"}},
             {"", {""}}}) {
        TempFolder folder;
        const RegionList list = QueryRegions(folder.Write(callbook));
        EXPECT_EQ(list.regions, regions);
        EXPECT_EQ(list.cutAt, RegionLimit::None);
        EXPECT_FALSE(list.failure);
    }
}

// Rows for the lines that contain the region as asked (letter case respected) and whose
// region field equals it without case; the date in its display form, the status if any.
TEST(QueryRegionMembers, rowsOfTheRegion_withDisplayDateAndStatus) {
    TempFolder folder;
    const auto file = folder.Write(
        "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r\n"
        "QV27ABD#Sari#Jl. Kab. Contoh#KAB. CONTOH#0413#NULL#baru\r\n"
        "QV27ABE#Tono#Jl. Anggrek 3#Kab. Contoh#0414#null#\r\n"
        "QV27ABF#Rina#Jl. Dahlia 4#Kab. Contoh#0415#2026-12-06#\r\n"
        "QV27ABG#Agus#Jl. Kamboja 5#Kab. Contoh#0416#0000-00-00#\r\n" +
        Member("QV27A", "KAB. CONTOH") + Member("QV27C", "Kab. Contoh Raya") +
        "QV27D#Nama#Jl. Kab. Contoh#Kota Tiga#1#null#\r\n" + Member("QV27E", "") +
        Member("QV27F", "Kab. Contoh \xE9") + Member("QV27G", "Kab. Contoh \xC3\xA9"));
    EXPECT_EQ(
        QueryRegionMembers(file, "Kab. Contoh", kToday).rows,
        (Texts{"QV27ABC | Budi | Jl. Melati 7 | Kab. Contoh | 0412 | 31-01-2026 | PERPANJANGAN",
               "QV27ABD | Sari | Jl. Kab. Contoh | KAB. CONTOH | 0413 | - | BARU",
               "QV27ABE | Tono | Jl. Anggrek 3 | Kab. Contoh | 0414 | -",
               "QV27ABF | Rina | Jl. Dahlia 4 | Kab. Contoh | 0415 | 06-12-2026",
               "QV27ABG | Agus | Jl. Kamboja 5 | Kab. Contoh | 0416 | 00-00-0000 | INVALID"}));
    EXPECT_EQ(QueryRegionMembers(file, "", kToday).rows, Texts{"QV27E | Nama | Alamat |  | 1 | -"});
    EXPECT_TRUE(QueryRegionMembers(folder.Path() / "absent.txt", "Kota", kToday).failure->missing);
}

// "Database " + the last line holding "versi: " + " WIB"; a line too long for the window is
// cut, and one longer than any line is no line at all.
TEST(QueryDatabaseVersion, lastVersionLine_inTheCaption) {
    const std::string nines(500, '9');
    const std::string cut = "Database versi: " + nines.substr(0, kMaxBannerCharacters - 7);
    for (const auto& [callbook, caption] :
         std::initializer_list<std::pair<std::string, std::optional<std::string>>>{
             {"versi: 2024-03-01 10:15\r\nQV27A#a#b#c#1#null#\r\n",
              "Database versi: 2024-03-01 10:15 WIB"},
             {"Data anggota versi: 12\r\n", "Database Data anggota versi: 12 WIB"},
             {"versi: 1\r\nQV27A#a#b#c#1#null#\r\nversi: 2\r\nQV27B#a#b#c#1#null#",
              "Database versi: 2 WIB"},
             {"versi: 1\r\nQV27A#a#Jl. versi: 3#\r\n", "Database QV27A#a#Jl. versi: 3# WIB"},
             {"versi: Ren\xE9\r\n", "Database versi: Ren\xC3\xA9 WIB"},
             {"Versi: 3\r\nversi:3\r\n", std::nullopt},
             {"", std::nullopt},
             {"versi: " + nines + "\r\n", cut + "\xE2\x80\xA6 WIB"},
             {"versi: " + nines.substr(0, kMaxBannerCharacters - 7) + "\r\n", cut + " WIB"},
             {"versi: \xC3\xA9" + nines, "Database versi: \xC3\xA9" +
                                             nines.substr(0, kMaxBannerCharacters - 8) +
                                             "\xE2\x80\xA6 WIB"},
             {"versi: 1\r\nversi: " + std::string(kMaxLineBytes, '9') + "\r\n",
              "Database versi: 1 WIB"}}) {
        TempFolder folder;
        const VersionBanner banner = QueryDatabaseVersion(folder.Write(callbook));
        EXPECT_EQ(banner.caption, caption) << callbook;
        EXPECT_FALSE(banner.failure);
    }
    TempFolder folder;
    const testing::ReadFailureAfter failure(0);
    const VersionBanner unread = QueryDatabaseVersion(folder.Write("versi: 1\r\n"));
    EXPECT_FALSE(unread.failure->missing);
    EXPECT_EQ(unread.caption, std::nullopt);
}

TEST(QueryRegionsAndVersion, onePass_givesWhatTheQueriesGive) {
    TempFolder folder;
    const auto file = folder.Write("versi: 1\r\n" + Member("QV27A", "Kota Satu") +
                                   "Data versi: 2\r\n" + Member("QV27B", "Kota Dua"));
    const CallbookOverview overview = QueryRegionsAndVersion(file);
    EXPECT_EQ(overview.regions.regions, QueryRegions(file).regions);
    EXPECT_EQ(overview.version.caption, "Database Data versi: 2 WIB");
    EXPECT_TRUE(overview.hasMemberLine);
    EXPECT_TRUE(HoldsMemberLine(file));
    for (const std::string& noMember :
         {std::string(4096, '\0'), std::string("versi: 1\r\nQV27ABC#a#b\r\n"), std::string()}) {
        EXPECT_TRUE(QueryRegionsAndVersion(folder.Write(noMember)).Damaged());
        EXPECT_FALSE(HoldsMemberLine(folder.Path() / "log.txt"));
    }
    const CallbookOverview missing = QueryRegionsAndVersion(folder.Path() / "absent.txt");
    EXPECT_TRUE(missing.regions.failure->missing && missing.version.failure->missing);
    EXPECT_FALSE(missing.Damaged());
}

}  // namespace
}  // namespace kalvera
