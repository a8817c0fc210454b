#pragma once

#include <array>
#include <optional>
#include <string>

#include "callbook_record.h"
#include "civil_date.h"
#include "membership_status.h"

namespace kalvera {

// A member as the window shows it: the texts of the seven detail boxes, in field order and
// UTF-8 (the valid-until date in its display form, the status text last, empty when the
// member has no status), and the status box's colour.
struct DisplayedMember {
    std::array<std::string, kMemberFieldCount> texts;
    std::optional<Rgb> statusColour;  // no value: no status; the box stays white
};

DisplayedMember DisplayMember(const CallbookRecord& record, CivilDate today);

// The member as one row of a region listing: the texts joined by " | ", the status only when
// there is one.
std::string ListingRow(const DisplayedMember& member);

}  // namespace kalvera
