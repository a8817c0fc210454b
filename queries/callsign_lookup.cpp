#include "callsign_lookup.h"

#include "core/callbook_reader.h"
#include "core/callbook_record.h"
#include "core/display_text.h"

namespace kalvera {

LookupResult QueryCallsign(const std::filesystem::path& callbook, std::string_view key,
                           CivilDate today) {
    LookupResult result;
    const SubstringFinder finder{std::string(key)};
    const ScanResult scan =
        ReadCallbookLinesContaining(callbook, finder, [&](std::string_view line) {
            const CallbookRecord record = SplitRecord(line);
            if (!FieldMatchesKey(record, kCallsign, key)) {
                return false;
            }
            for (std::size_t i = 0; i < kValidUntil; ++i) {
                result.details[i] = ToDisplayText(record.Field(i));
            }
            result.details[kValidUntil] = ToDisplayText(DisplayValidUntil(record.ValidUntil()));
            if (const auto status = ResolveStatus(record, today)) {
                result.details[kStatus] = status->text;
                result.statusColour = status->colour;
            }
            return true;
        });
    switch (scan) {
        case ScanResult::FileMissing:
            result.outcome = LookupOutcome::FileMissing;
            break;
        case ScanResult::Stopped:
            result.outcome = LookupOutcome::Found;
            break;
        case ScanResult::Completed:
            result.outcome = LookupOutcome::NotFound;
            break;
    }
    return result;
}

}  // namespace kalvera
