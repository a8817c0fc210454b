#include "membership_status.h"

#include <array>
#include <string_view>

#include "ascii_case.h"

namespace kalvera {
namespace {

// The colour of each stored status word, in the order of kStatusWords.
constexpr std::array<Rgb, kStatusWords.size()> kStatusColours = {
    kYellow,  // lifetime
    kGreen,   // renewal
    kGreen,   // new
    kRed,     // invalid
};

}  // namespace

std::optional<MembershipStatus> ResolveStatus(const CallbookRecord& record, CivilDate today) {
    const std::string_view status = record.Status();
    for (std::size_t word = 0; word < kStatusWords.size(); ++word) {
        if (EqualsLowerCased(status, kStatusWords[word])) {
            return MembershipStatus{ToUpperAscii(status), kStatusColours[word]};
        }
    }
    const std::string_view validUntil = record.ValidUntil();
    if (EqualsLowerCased(validUntil, kNoDate)) {
        return std::nullopt;
    }
    if (validUntil == kZeroDate) {
        return MembershipStatus{"INVALID", kRed};
    }
    const std::optional<CivilDate> until = ParseCallbookDate(validUntil);
    if (!until || *until == today) {
        return std::nullopt;
    }
    if (today > *until) {
        return MembershipStatus{"INVALID", kRed};
    }
    return MembershipStatus{"VALID", kGreen};
}

}  // namespace kalvera
