// The date, the status rule and the display texts against plain models.
//
// Input: three bytes that give today's date (a year from 1900, a month, a day), then a line
// that is split like a member line; every field, and the whole line, is also used as text.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/callbook_record.h"
#include "core/civil_date.h"
#include "core/display_text.h"
#include "core/membership_status.h"
#include "fuzz_support.h"

namespace kalvera::fuzz {
namespace {

bool AllDigits(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

unsigned Number(std::string_view digits) {
    unsigned value = 0;
    for (char c : digits) {
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : kDays[month - 1];
}

struct ModelDate {
    unsigned year, month, day;
};

// yyyy-m-d with one or two digits for month and day; year 0 and impossible days give none.
std::optional<ModelDate> ModelParseDate(std::string_view text) {
    const std::vector<std::string_view> parts = SplitAt(text, '-');
    if (parts.size() != 3 || parts[0].size() != 4 || parts[1].empty() || parts[1].size() > 2 ||
        parts[2].empty() || parts[2].size() > 2 || !AllDigits(parts[0]) || !AllDigits(parts[1]) ||
        !AllDigits(parts[2])) {
        return std::nullopt;
    }
    const ModelDate date{Number(parts[0]), Number(parts[1]), Number(parts[2])};
    if (date.year == 0 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > DaysInMonth(date.year, date.month)) {
        return std::nullopt;
    }
    return date;
}

long Ordinal(unsigned year, unsigned month, unsigned day) {
    return (static_cast<long>(year) * 12 + month) * 32 + day;
}

std::optional<MembershipStatus> ModelStatus(std::string_view validUntil, std::string_view status,
                                            const ModelDate& today) {
    const std::string word = LowerAscii(status);
    if (word == "seumur hidup") {
        return MembershipStatus{UpperAscii(status), kYellow};
    }
    if (word == "perpanjangan" || word == "baru") {
        return MembershipStatus{UpperAscii(status), kGreen};
    }
    if (word == "invalid") {
        return MembershipStatus{UpperAscii(status), kRed};
    }
    if (LowerAscii(validUntil) == "null") {
        return std::nullopt;
    }
    if (validUntil == "0000-00-00") {
        return MembershipStatus{"INVALID", kRed};
    }
    const std::optional<ModelDate> until = ModelParseDate(validUntil);
    if (!until) {
        return std::nullopt;
    }
    const long a = Ordinal(today.year, today.month, today.day);
    const long b = Ordinal(until->year, until->month, until->day);
    if (a == b) {
        return std::nullopt;
    }
    return a > b ? MembershipStatus{"INVALID", kRed} : MembershipStatus{"VALID", kGreen};
}

std::string ModelDisplayValidUntil(std::string_view field) {
    if (field.size() == 10) {
        const std::vector<std::string_view> parts = SplitAt(field, '-');
        if (parts.size() != 3) {
            return std::string(field);
        }
        return std::string(parts[2]) + "-" + std::string(parts[1]) + "-" + std::string(parts[0]);
    }
    return LowerAscii(field) == "null" ? "-" : std::string(field);
}

// Windows-1252 for 0x80 to 0x9F; the unassigned five as the C1 controls of the same value.
char32_t FromWindows1252(unsigned char byte) {
    static constexpr char32_t kHigh[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    return byte >= 0x80 && byte <= 0x9F ? kHigh[byte - 0x80] : byte;
}

void CheckText(std::string_view bytes) {
    FUZZ_CHECK(ParseCallbookDate(bytes).has_value() == ModelParseDate(bytes).has_value(),
               "ParseCallbookDate(\"%s\")", Escaped(bytes).c_str());
    if (const auto date = ParseCallbookDate(bytes)) {
        const ModelDate model = *ModelParseDate(bytes);
        FUZZ_CHECK(static_cast<int>(date->year()) == static_cast<int>(model.year) &&
                       static_cast<unsigned>(date->month()) == model.month &&
                       static_cast<unsigned>(date->day()) == model.day,
                   "ParseCallbookDate(\"%s\") read another date", Escaped(bytes).c_str());
    }

    const std::string shown = DisplayValidUntil(bytes);
    FUZZ_CHECK(shown == ModelDisplayValidUntil(bytes), "DisplayValidUntil(\"%s\") = \"%s\"",
               Escaped(bytes).c_str(), Escaped(shown).c_str());

    const bool utf8 = IsWellFormedUtf8(bytes);
    FUZZ_CHECK(IsValidUtf8(bytes) == utf8, "IsValidUtf8(\"%s\")", Escaped(bytes).c_str());
    const std::string display = ToDisplayText(bytes);
    FUZZ_CHECK(IsWellFormedUtf8(display), "ToDisplayText(\"%s\") is not UTF-8: \"%s\"",
               Escaped(bytes).c_str(), Escaped(display).c_str());
    if (utf8) {
        std::string_view kept = bytes;
        if (kept.starts_with("\xEF\xBB\xBF")) {
            kept.remove_prefix(3);
        }
        FUZZ_CHECK(display == kept, "ToDisplayText changed UTF-8 text");
        // Windows-1252 has a byte for the text's every character, or there is none.
        if (const std::optional<std::string> ansi = Utf8ToWindows1252(bytes)) {
            std::string back;
            for (char c : *ansi) {
                AppendUtf8(back, FromWindows1252(static_cast<unsigned char>(c)));
            }
            FUZZ_CHECK(back == bytes, "Utf8ToWindows1252(\"%s\") = \"%s\" reads back otherwise",
                       Escaped(bytes).c_str(), Escaped(*ansi).c_str());
        }
    } else {
        // Anything else is Windows-1252, which comes back byte for byte.
        std::string model;
        for (char c : bytes) {
            AppendUtf8(model, FromWindows1252(static_cast<unsigned char>(c)));
        }
        FUZZ_CHECK(display == model, "ToDisplayText(\"%s\") = \"%s\"", Escaped(bytes).c_str(),
                   Escaped(display).c_str());
        const std::optional<std::string> back = Utf8ToWindows1252(display);
        FUZZ_CHECK(back && *back == bytes, "Windows-1252 \"%s\" does not come back",
                   Escaped(bytes).c_str());
    }
}

}  // namespace
}  // namespace kalvera::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalvera;
    using namespace kalvera::fuzz;
    if (size < 3) {
        return 0;
    }
    ModelDate today{1900u + data[0], 1u + data[1] % 12, 1};
    today.day = 1 + data[2] % DaysInMonth(today.year, today.month);
    const CivilDate civilToday{std::chrono::year{static_cast<int>(today.year)},
                               std::chrono::month{today.month}, std::chrono::day{today.day}};
    const std::string_view line = Bytes(data + 3, size - 3);

    const CallbookRecord record = SplitRecord(line);
    const std::optional<MembershipStatus> status = ResolveStatus(record, civilToday);
    const std::optional<MembershipStatus> model =
        ModelStatus(record.ValidUntil(), record.Status(), today);
    FUZZ_CHECK(status == model, "ResolveStatus(\"%s\", \"%s\") = %s, the model has %s",
               Escaped(record.ValidUntil()).c_str(), Escaped(record.Status()).c_str(),
               status ? Escaped(status->text).c_str() : "none",
               model ? Escaped(model->text).c_str() : "none");

    CheckText(line);
    for (std::string_view field : record.fields) {
        CheckText(field);
    }
    return 0;
}
