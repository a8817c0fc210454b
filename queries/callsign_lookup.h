#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/callbook_reader.h"
#include "core/callbook_record.h"
#include "core/civil_date.h"
#include "core/membership_status.h"
#include "search_text.h"

namespace kalvera {

struct LookupResult {
    bool found = false;
    // The texts of the seven detail boxes, UTF-8, in field order: callsign, name, address,
    // region, member number, valid-until (display form), status text. All empty unless found.
    std::array<std::string, kMemberFieldCount> details;
    // The status box's colour; empty when there is no status (the box stays white).
    std::optional<Rgb> statusColour;
    // Why the callbook was not read through: nothing is found then, and nothing is said not
    // to be.
    std::optional<ReadFailure> failure;
};

// Finds the first line, in file order, whose callsign field upper-cased equals `key` and that
// contains `key` as typed (so a callsign stored in lower case is never found). The scan stops
// at that line. `key` is the full callsign, used as given. A read that fails before the
// member is found gives a failure, never "not found": the member may stand after the failure.
LookupResult QueryCallsign(const std::filesystem::path& callbook, std::string_view key,
                           CivilDate today = LocalToday());

// What the tool's lookup does with a KEY: the window's search for `typed` as if it stood in the
// search box (SearchKeyFor), then QueryCallsign with that key. Nothing is read when the window
// would search for nothing.
struct TypedLookup {
    TypedSearch search;
    LookupResult result;
};
TypedLookup LookUpTyped(const std::filesystem::path& callbook, std::string_view typed,
                        CivilDate today = LocalToday());

}  // namespace kalvera
