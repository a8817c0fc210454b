#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "callbook_format.h"

namespace kalvera {

// The fields of one line, split at every '#', exactly as stored. The views point into the
// line, so a record must not outlive the line it was split from.
struct CallbookRecord {
    std::vector<std::string_view> fields;

    bool Has(std::size_t index) const { return index < fields.size(); }
    // Missing fields read as empty text.
    std::string_view Field(std::size_t index) const { return Has(index) ? fields[index] : ""; }

    std::string_view Callsign() const { return Field(kCallsign); }
    std::string_view Name() const { return Field(kName); }
    std::string_view Address() const { return Field(kAddress); }
    std::string_view Region() const { return Field(kRegion); }
    std::string_view MemberNumber() const { return Field(kMemberNumber); }
    std::string_view ValidUntil() const { return Field(kValidUntil); }
    std::string_view Status() const { return Field(kStatus); }
};

CallbookRecord SplitRecord(std::string_view line);

// Field `index` of the line without splitting the rest; false when the line has fewer fields.
bool TryGetField(std::string_view line, std::size_t index, std::string_view& field);

// The second half of the key test: the chosen field exists and, upper-cased, equals the key
// upper-cased. The first half, the case-sensitive substring test on the raw line, is done
// by the scan (ReadCallbookLinesContaining) before anything is split.
bool FieldMatchesKey(const CallbookRecord& record, std::size_t index, std::string_view key);

}  // namespace kalvera
