#include "core/membership_status.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace kalvera {
namespace {

using namespace std::chrono;

constexpr CivilDate kToday{year{2026}, month{12}, day{6}};

std::optional<MembershipStatus> Resolve(std::string validUntil, std::string status) {
    const std::string line = "QV27ABC#Budi#Jl#Kota#1#" + validUntil + "#" + status;
    return ResolveStatus(SplitRecord(line), kToday);
}

const MembershipStatus kValid{"VALID", kGreen};
const MembershipStatus kInvalid{"INVALID", kRed};

TEST(ResolveStatus, storedWords_outrankTheDate) {
    EXPECT_EQ(Resolve("0000-00-00", "Seumur Hidup"), (MembershipStatus{"SEUMUR HIDUP", kYellow}));
    EXPECT_EQ(Resolve("2025-01-01", "BARU"), (MembershipStatus{"BARU", kGreen}));
    EXPECT_EQ(Resolve("2020-05-05", "perpanjangan"), (MembershipStatus{"PERPANJANGAN", kGreen}));
    EXPECT_EQ(Resolve("2027-01-01", "invalid"), (MembershipStatus{"INVALID", kRed}));
}

TEST(ResolveStatus, unrecognisedWords_leaveItToTheDate) {
    EXPECT_EQ(Resolve("2020-01-01", "VALID"), kInvalid);
    EXPECT_EQ(Resolve("2030-01-01", " baru"), kValid);
    EXPECT_EQ(Resolve("0000-00-00", "null"), kInvalid);
    EXPECT_EQ(Resolve("2030-01-01", ""), kValid);
}

TEST(ResolveStatus, dateAgainstToday) {
    EXPECT_EQ(Resolve("2026-12-05", ""), kInvalid);
    EXPECT_EQ(Resolve("2026-12-06", ""), std::nullopt);
    EXPECT_EQ(Resolve("2026-12-07", ""), kValid);
    EXPECT_EQ(Resolve("2026-12-7", ""), kValid);
    EXPECT_EQ(Resolve("2026-3-7", ""), kInvalid);
}

TEST(ResolveStatus, nullDate_givesNoStatus) {
    EXPECT_EQ(Resolve("null", ""), std::nullopt);
    EXPECT_EQ(Resolve("NuLL", "null"), std::nullopt);
}

TEST(ResolveStatus, unreadableDates_giveNoStatus) {
    for (const char* text : {"", "kemarin", "2025-02-30", " 2030-01-01", "2030-01-01 ",
                             "30-01-2030", "2030-001-01", "2030-01", "2030-1-1-1", "0000-01-01"}) {
        EXPECT_EQ(Resolve(text, ""), std::nullopt) << text;
    }
}

TEST(ResolveStatus, missingFields_giveNoStatus) {
    EXPECT_EQ(ResolveStatus(SplitRecord("QV27ABC#Budi"), kToday), std::nullopt);
}

// Sets the TZ variable (POSIX form, understood by the C runtime on Windows too), or removes
// it for a null `zone`, and makes the C library read it again.
void UseTimeZone(const char* zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone != nullptr ? zone : "");
    _tzset();
#else
    if (zone != nullptr) {
        setenv("TZ", zone, 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
#endif
}

// The status follows the local calendar: in Indonesia (UTC+7) a member valid until 1 March
// is INVALID from 17:00 UTC on that day, when the local date is already 2 March.
TEST(LocalDateAt, followsTheLocalTimeZone_onBothSidesOfMidnightUtc) {
    const char* saved = std::getenv("TZ");
    const std::string before = saved ? saved : "";
    const auto instant = sys_days{year{2026} / March / 1} + hours{18};
    UseTimeZone("WIB-7");
    EXPECT_EQ(LocalDateAt(instant), (CivilDate{year{2026}, March, day{2}}));
    EXPECT_EQ(LocalDateAt(instant - hours{12}), (CivilDate{year{2026}, March, day{1}}));
    EXPECT_EQ(ResolveStatus(SplitRecord("QV27A#a#b#c#1#2026-03-01#"), LocalDateAt(instant)),
              kInvalid);
    UseTimeZone("UTC0");
    EXPECT_EQ(LocalDateAt(instant), (CivilDate{year{2026}, March, day{1}}));
    UseTimeZone(saved != nullptr ? before.c_str() : nullptr);
}

TEST(ParseCallbookDate, leapDay) {
    EXPECT_TRUE(ParseCallbookDate("2024-02-29"));
    EXPECT_FALSE(ParseCallbookDate("2026-02-29"));
}

}  // namespace
}  // namespace kalvera
