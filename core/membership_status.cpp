#include "membership_status.h"

#include <array>
#include <string_view>

#include "ascii_case.h"

namespace kalvera {
namespace {

struct StoredWord {
    std::string_view lowerCase;
    Rgb colour;
};

constexpr std::array<StoredWord, 4> kStoredWords{{
    {"seumur hidup", kYellow},
    {"perpanjangan", kGreen},
    {"baru", kGreen},
    {"invalid", kRed},
}};

}  // namespace

std::optional<MembershipStatus> ResolveStatus(const CallbookRecord& record, CivilDate today) {
    const std::string_view status = record.Status();
    for (const StoredWord& word : kStoredWords) {
        if (EqualsLowerCased(status, word.lowerCase)) {
            return MembershipStatus{ToUpperAscii(status), word.colour};
        }
    }
    const std::string_view validUntil = record.ValidUntil();
    if (EqualsLowerCased(validUntil, "null")) {
        return std::nullopt;
    }
    if (validUntil == "0000-00-00") {
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
