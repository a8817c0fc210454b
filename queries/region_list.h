#pragma once

#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/civil_date.h"

namespace kalvera {

struct RegionList {
    bool fileMissing = false;
    // Distinct region fields in order of first appearance, bytes as stored (they are also
    // the keys of a listing). Letter case and blanks make entries distinct.
    std::vector<std::string> regions;
};

// A line with fewer than four fields carries the region of the line before it; lines before
// the first region carry the empty text, which thus becomes the first entry. An empty file
// reads as one empty line and gives exactly one empty entry.
RegionList QueryRegions(const std::filesystem::path& callbook);

struct RegionListing {
    bool fileMissing = false;
    std::vector<std::string> rows;  // UTF-8
};

// One row per member whose line contains `region` (letter case respected) and whose region
// field upper-cased equals it upper-cased: "callsign | name | address | region | number |
// date" and " | STATUS" when the member has a status.
RegionListing QueryRegionMembers(const std::filesystem::path& callbook, std::string_view region,
                                 CivilDate today = LocalToday());

// The same rows, handed over one at a time as the scan finds them, so memory does not grow
// with the number of members. Returns false when the file is missing.
bool ForEachRegionMember(const std::filesystem::path& callbook, std::string_view region,
                         CivilDate today, const std::function<void(const std::string& row)>& onRow);

// As above for a region that may be stored in more than one byte spelling (UTF-8 and
// Windows-1252, say): a line is listed once when it passes the key test with any of them.
bool ForEachRegionMember(const std::filesystem::path& callbook,
                         std::span<const std::string> spellings, CivilDate today,
                         const std::function<void(const std::string& row)>& onRow);

}  // namespace kalvera
