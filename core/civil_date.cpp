#include "civil_date.h"

#include <ctime>

#include "callbook_format.h"
#include "platform.h"

namespace kalvera {
namespace {

// Reads 1 to maxDigits ASCII digits, the whole of `text`.
std::optional<unsigned> ReadNumber(std::string_view text, std::size_t minDigits,
                                   std::size_t maxDigits) {
    if (text.size() < minDigits || text.size() > maxDigits) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

}  // namespace

CivilDate LocalToday() {
    return LocalDateAt(std::chrono::system_clock::now());
}

CivilDate LocalDateAt(std::chrono::system_clock::time_point instant) {
    const std::tm local = platform::LocalTime(std::chrono::system_clock::to_time_t(instant));
    return CivilDate{std::chrono::year{local.tm_year + 1900},
                     std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                     std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
}

std::optional<CivilDate> ParseCallbookDate(std::string_view text) {
    const std::size_t firstDash = text.find(kDateSeparator);
    if (firstDash == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t secondDash = text.find(kDateSeparator, firstDash + 1);
    if (secondDash == std::string_view::npos) {
        return std::nullopt;
    }
    const auto year = ReadNumber(text.substr(0, firstDash), 4, 4);
    const auto month = ReadNumber(text.substr(firstDash + 1, secondDash - firstDash - 1), 1, 2);
    const auto day = ReadNumber(text.substr(secondDash + 1), 1, 2);
    if (!year || !month || !day || *year == 0) {
        return std::nullopt;
    }
    const CivilDate date{std::chrono::year{static_cast<int>(*year)}, std::chrono::month{*month},
                         std::chrono::day{*day}};
    if (!date.ok()) {
        return std::nullopt;
    }
    return date;
}

}  // namespace kalvera
