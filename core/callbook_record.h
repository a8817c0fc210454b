#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace kalvera {

enum CallbookField : std::size_t {
    kCallsign = 0,
    kName = 1,
    kAddress = 2,
    kRegion = 3,
    kMemberNumber = 4,
    kValidUntil = 5,
    kStatus = 6,
    kMemberFieldCount = 7,
};

inline constexpr char kFieldSeparator = '#';
// A version line is any line that contains this marker (letter case respected).
inline constexpr std::string_view kVersionMarker = "versi: ";

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

// A member line, as the download and the start-up count them: its first field, blanks around
// it aside, looks like a callsign (1 to 4 letters, 1 to 4 digits, up to 8 letters or digits,
// in any letter case, as "QV27ABC"), and it holds at least the six separators of seven
// fields. Blanks are space, tab, CR, form feed and vertical tab. A version line that happens
// to have this shape counts as a member line too.
bool IsMemberLine(std::string_view line);

// Both halves of the key test on a single line.
bool LineMatchesKey(std::string_view line, std::string_view key, std::size_t index);

}  // namespace kalvera
