#include "callsign_lookup.h"

#include "core/callbook_reader.h"
#include "core/displayed_member.h"

namespace kalvera {

LookupResult QueryCallsign(const std::filesystem::path& callbook, std::string_view key,
                           CivilDate today) {
    LookupResult result;
    const SubstringFinder finder{std::string(key)};
    const ScanSummary scan =
        ReadCallbookLinesContaining(callbook, finder, [&](std::string_view line) {
            const CallbookRecord record = SplitRecord(line);
            if (!FieldMatchesKey(record, kCallsign, key)) {
                return false;
            }
            DisplayedMember member = DisplayMember(record, today);
            result.details = std::move(member.texts);
            result.statusColour = member.statusColour;
            return true;
        });
    if (std::optional<ReadFailure> failure = scan.Failure()) {
        LookupResult unread;
        unread.failure = std::move(failure);
        return unread;
    }
    result.found = scan.result == ScanResult::Stopped;
    return result;
}

TypedLookup LookUpTyped(const std::filesystem::path& callbook, std::string_view typed,
                        CivilDate today) {
    TypedLookup lookup{SearchKeyFor(typed), {}};
    if (lookup.search.refusal == SearchRefusal::None) {
        lookup.result = QueryCallsign(callbook, lookup.search.callsign, today);
    }
    return lookup;
}

}  // namespace kalvera
