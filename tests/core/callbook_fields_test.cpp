// What the fields of a line mean: the split, the key test, what makes a member line, the
// status, and the texts the window shows.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/callbook_record.h"
#include "core/display_text.h"
#include "core/membership_status.h"

namespace kalvera {
namespace {

using namespace std::chrono;
using namespace std::string_literals;
using Pairs = std::initializer_list<std::pair<std::string, std::string>>;

// A callsign: 1 to 4 letters of any script, 1 to 4 digits, then up to 8 letters or digits
// starting with a letter, blanks around it aside; and at least the separators of seven fields.
TEST(IsMemberLine, needsACallsignShapedFirstFieldAndSixSeparators) {
    for (const char* line :
         {"QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#baru", "qv27abc######",
          "YB0ZZ#b#c#d#e#f#g#h", "QV27######", " QV27A\t######", "ABCD1234A1234567######",
          "QV27\xC3\x89\xD0\x94######", "QV27\xC9######"}) {  // ÉД in UTF-8, É in Windows-1252
        EXPECT_TRUE(IsMemberLine(line)) << line;
    }
    for (const std::string& line :
         {"QV27ABC#b#c#d#e#f"s, "ABCDE1######"s, "A12345######"s, "A1ABCDEFGHI######"s,
          "1QV27######"s, "QV27A!######"s, "QV27 ABC######"s, "QV27\xE2\x80\x94######"s,
          "QV27\0ABC######"s, "#QV27ABC######"s, "Database versi: 2026-12-01"s, ""s}) {
        EXPECT_FALSE(IsMemberLine(line)) << line;
    }
}

// The stored word outranks the date; the date (yyyy-m-d, a real day) decides otherwise, and a
// date that cannot be read, "null" or today give no status.
TEST(ResolveStatus, storedWordThenDate) {
    const CivilDate today{year{2026}, month{12}, day{6}};
    const std::vector<std::pair<std::string, std::optional<MembershipStatus>>> cases = {
        {"0000-00-00#Seumur Hidup", MembershipStatus{"SEUMUR HIDUP", kYellow}},
        {"2025-01-01#BARU", MembershipStatus{"BARU", kGreen}},
        {"2020-05-05#perpanjangan", MembershipStatus{"PERPANJANGAN", kGreen}},
        {"2027-01-01#invalid", MembershipStatus{"INVALID", kRed}},
        {"2020-01-01#VALID", MembershipStatus{"INVALID", kRed}},
        {"2030-01-01# baru", MembershipStatus{"VALID", kGreen}},
        {"0000-00-00#null", MembershipStatus{"INVALID", kRed}},
        {"null#", std::nullopt},
        {"NuLL#null", std::nullopt},
        {"2026-12-05#", MembershipStatus{"INVALID", kRed}},
        {"2026-12-06#", std::nullopt},
        {"2026-12-07#", MembershipStatus{"VALID", kGreen}},
        {"2026-12-7#", MembershipStatus{"VALID", kGreen}},
        {"2026-3-7#", MembershipStatus{"INVALID", kRed}},
        {"2027-1-1#", MembershipStatus{"VALID", kGreen}},
        {"2024-02-29#", MembershipStatus{"INVALID", kRed}},
        {"", std::nullopt},
    };
    for (const auto& [fields, status] : cases) {
        EXPECT_EQ(ResolveStatus(SplitRecord("QV27ABC#Budi#Jl#Kota#1#" + fields), today), status)
            << fields;
    }
    for (const char* unreadable :
         {"", "kemarin", "2025-02-30", "2026-02-29", " 2030-01-01", "2030-01-01 ", "30-01-2030",
          "2030-001-01", "2030-01-011", "20300-01-01", "2030-01", "2030-1-1-1", "2030--1",
          "0000-01-01", "2030-00-01", "2030-01-00"}) {
        EXPECT_EQ(ParseCallbookDate(unreadable), std::nullopt) << unreadable;
        const std::string line = "QV27ABC#Budi#Jl#Kota#1#" + std::string(unreadable) + "#";
        EXPECT_EQ(ResolveStatus(SplitRecord(line), today), std::nullopt) << line;
    }
}

// The status follows the local calendar: in Indonesia (UTC+7) a member valid until 1 March
// is INVALID from 17:00 UTC on that day, when the local date is already 2 March. TZ is in the
// POSIX form, which the C runtime on Windows reads too; it stays set, as no other test here
// reads the clock.
TEST(LocalDateAt, followsTheLocalTimeZone_onBothSidesOfMidnightUtc) {
#ifdef _WIN32
    _putenv_s("TZ", "WIB-7");
    _tzset();
#else
    setenv("TZ", "WIB-7", 1);
    tzset();
#endif
    const auto instant = sys_days{year{2026} / March / 1} + hours{18};
    EXPECT_EQ(LocalDateAt(instant), (CivilDate{year{2026}, March, day{2}}));
    EXPECT_EQ(LocalDateAt(instant - hours{12}), (CivilDate{year{2026}, March, day{1}}));
}

TEST(DisplayValidUntil, tenCharacterDateDayFirst_nullADash_elseAsStored) {
    for (const auto& [field, shown] :
         Pairs{{"2025-03-17", "17-03-2025"},
               {"0000-00-00", "00-00-0000"},
               {"null", "-"},
               {"NULL", "-"},
               {"Null", "-"},
               {"null ", "null "},
               {"2025-3-7", "2025-3-7"},
               {"", ""},
               {"2025/03/17", "2025/03/17"},
               {"2025-03-1-", "2025-03-1-"},
               {"20250317-x", "20250317-x"}}) {  // the last three: ten characters, not three parts
        EXPECT_EQ(DisplayValidUntil(field), shown) << field;
    }
}

// UTF-8 is kept, a byte-order mark at the start dropped; other bytes are Windows-1252 (the
// euro sign, both Y diaereses, C1 controls for the unassigned, broken UTF-8 and surrogates), and
// go back to those bytes.
TEST(ToDisplayText, utf8AsIs_otherBytesAsWindows1252) {
    for (const auto& [bytes, shown] : Pairs{{"Jl. Cendana", "Jl. Cendana"},
                                            {"Ren\xC3\xA9", "Ren\xC3\xA9"},
                                            {"\xEF\xBB\xBFQV27ABC", "QV27ABC"},
                                            {"Ren\xE9", "Ren\xC3\xA9"},
                                            {"\x80 5\x9F\xFF", "\xE2\x82\xAC 5\xC5\xB8\xC3\xBF"},
                                            {"\x81\x8D", "\xC2\x81\xC2\x8D"},
                                            {"\xC3\x28", "\xC3\x83("},
                                            {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"}}) {
        EXPECT_EQ(ToDisplayText(bytes), shown) << bytes;
        if (!IsValidUtf8(bytes)) {
            EXPECT_EQ(Utf8ToWindows1252(shown), bytes) << bytes;
        }
    }
    EXPECT_EQ(Utf8ToWindows1252("\xD0\x94"), std::nullopt);  // Д
    EXPECT_EQ(Utf8ToWindows1252("\xC3"), std::nullopt);
}

TEST(Utf8, everyScalarValue_survivesTheRoundTrip_malformedBytesAreNone) {
    for (char32_t code = 0; code <= 0x10FFFF; code += code < 0x800 ? 1 : 7) {
        if (code >= 0xD800 && code <= 0xDFFF) {
            continue;
        }
        std::string bytes;
        AppendUtf8(bytes, code);
        const auto decoded = DecodeUtf8(bytes, 0);
        ASSERT_TRUE(decoded && decoded->code == code && decoded->length == bytes.size())
            << std::hex << static_cast<unsigned>(code);
        ASSERT_TRUE(IsValidUtf8(bytes));
    }
    for (const std::string_view bad : {"\x80", "\xC0\xAF", "\xC3", "\xE0\x80\xAF", "\xED\xA0\x80",
                                       "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xE2\x82"}) {
        EXPECT_FALSE(DecodeUtf8(bad, 0)) << ::testing::PrintToString(bad);
        EXPECT_FALSE(IsValidUtf8(bad)) << ::testing::PrintToString(bad);
    }
}

}  // namespace
}  // namespace kalvera
