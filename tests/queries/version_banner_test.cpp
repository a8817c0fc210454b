#include "queries/version_banner.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "support/failing_input.h"
#include "support/temp_callbook.h"

namespace kalvera {
namespace {

using testing::TempFolder;

// The caption of a callbook holding `content`; a file not read through fails the test.
std::optional<std::string> Caption(std::string_view content) {
    TempFolder folder;
    const auto file = folder.Write(content);
    const VersionBanner banner = QueryDatabaseVersion(file);
    if (banner.failure) {
        ADD_FAILURE() << "the banner query did not read " << file << " through";
    }
    return banner.caption;
}

TEST(QueryDatabaseVersion, wholeLastVersionLine_inTheCaption) {
    EXPECT_EQ(Caption("versi: 2024-03-01 10:15\r\nQV27A#a#b#c#1#null#\r\n"),
              "Database versi: 2024-03-01 10:15 WIB");
    EXPECT_EQ(Caption("Data anggota versi: 12\r\n"), "Database Data anggota versi: 12 WIB");
    EXPECT_EQ(Caption("versi: 1\r\nQV27A#a#b#c#1#null#\r\nversi: 2\r\nQV27B#a#b#c#1#null#"),
              "Database versi: 2 WIB");
}

TEST(QueryDatabaseVersion, memberLineHoldingTheMarker_countsAsVersionLine) {
    EXPECT_EQ(Caption("versi: 1\r\nQV27A#a#Jl. versi: 3#c#1#null#\r\n"),
              "Database QV27A#a#Jl. versi: 3#c#1#null# WIB");
}

TEST(QueryDatabaseVersion, markerWithOtherCaseOrNoBlank_isNoVersionLine) {
    EXPECT_EQ(Caption("Versi: 3\r\nversi:3\r\n"), std::nullopt);
    EXPECT_EQ(Caption(""), std::nullopt);
}

TEST(QueryDatabaseVersion, hugeLines_neverReachTheBanner) {
    const std::string longVersion = "versi: " + std::string(500, '9');
    const std::optional<std::string> shown = Caption("versi: 1\r\n" + longVersion + "\r\n");
    ASSERT_TRUE(shown);
    EXPECT_EQ(*shown,
              "Database " + longVersion.substr(0, kMaxBannerCharacters) + "\xE2\x80\xA6 WIB");
    // Longer than any line can be: not a version line at all.
    EXPECT_EQ(Caption("versi: 1\r\nversi: " + std::string(kMaxLineBytes, '9') + "\r\n"),
              "Database versi: 1 WIB");
}

TEST(QueryDatabaseVersion, testHelper_fileNotReadThrough_failsTheTest) {
    const testing::ReadFailureAfter failure(0);
    EXPECT_NONFATAL_FAILURE(Caption("versi: 1\r\n"), "did not read");
}

TEST(QueryDatabaseVersion, missingFile) {
    TempFolder folder;
    const VersionBanner missing = QueryDatabaseVersion(folder.Path() / "log.txt");
    EXPECT_TRUE(missing.failure && missing.failure->missing);
}

}  // namespace
}  // namespace kalvera
