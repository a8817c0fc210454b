#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/callbook_record.h"
#include "core/civil_date.h"
#include "core/membership_status.h"

namespace kalvera {

enum class LookupOutcome { Found, NotFound, FileMissing, ReadError };

struct LookupResult {
    LookupOutcome outcome = LookupOutcome::NotFound;
    // The texts of the seven detail boxes, UTF-8, in field order: callsign, name, address,
    // region, member number, valid-until (display form), status text. All empty unless Found.
    std::array<std::string, kMemberFieldCount> details;
    // The status box's colour; empty when there is no status (the box stays white).
    std::optional<Rgb> statusColour;
    // What the system said when reading failed part-way (ReadError).
    std::string readError;
};

// Finds the first line, in file order, whose callsign field upper-cased equals `key` and that
// contains `key` as typed (so a callsign stored in lower case is never found). The scan stops
// at that line. `key` is the full callsign, used as given. A read that fails before the
// member is found gives ReadError, never NotFound: the member may stand after the failure.
LookupResult QueryCallsign(const std::filesystem::path& callbook, std::string_view key,
                           CivilDate today = LocalToday());

}  // namespace kalvera
