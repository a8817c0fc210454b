#include "displayed_member.h"

#include <string_view>

#include "display_text.h"

namespace kalvera {
namespace {

constexpr std::string_view kColumnSeparator = " | ";

}  // namespace

DisplayedMember DisplayMember(const CallbookRecord& record, CivilDate today) {
    DisplayedMember member;
    for (std::size_t i = 0; i < kValidUntil; ++i) {
        member.texts[i] = ToDisplayText(record.Field(i));
    }
    member.texts[kValidUntil] = ToDisplayText(DisplayValidUntil(record.ValidUntil()));
    if (const auto status = ResolveStatus(record, today)) {
        member.texts[kStatus] = status->text;
        member.statusColour = status->colour;
    }
    return member;
}

std::string ListingRow(const DisplayedMember& member) {
    std::string row;
    for (std::size_t i = 0; i < kValidUntil; ++i) {
        row.append(member.texts[i]).append(kColumnSeparator);
    }
    row.append(member.texts[kValidUntil]);
    if (member.statusColour) {
        row.append(kColumnSeparator).append(member.texts[kStatus]);
    }
    return row;
}

}  // namespace kalvera
