#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "callbook_record.h"
#include "civil_date.h"

namespace kalvera {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kRed{255, 0, 0};

struct MembershipStatus {
    std::string text;
    Rgb colour;
    friend bool operator==(const MembershipStatus&, const MembershipStatus&) = default;
};

// The member's status from ValidUntil and Status; no value means "no status" (the status box
// stays empty and white, a listing row ends after the date). A stored status word outranks
// the date. A date equal to today, "null", and a ValidUntil that is not a readable date give
// no status.
std::optional<MembershipStatus> ResolveStatus(const CallbookRecord& record,
                                              CivilDate today = LocalToday());

}  // namespace kalvera
