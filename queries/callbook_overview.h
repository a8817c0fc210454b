#pragma once

#include <filesystem>

#include "region_list.h"
#include "version_banner.h"

namespace kalvera {

// What the window needs at start-up, from a single pass over the file: the region list, the
// version banner and whether the file holds any member at all.
struct CallbookOverview {
    RegionList regions;
    VersionBanner version;
    // Whether any line is one IsMemberLine takes for a member.
    bool hasMemberLine = false;

    // A file that exists and was read whole without a member line is damaged or is not a
    // callbook (zeros left by a power cut, any binary file); start-up names it.
    bool Damaged() const { return !regions.failure && !hasMemberLine; }
};

CallbookOverview QueryRegionsAndVersion(const std::filesystem::path& callbook);

// Whether `callbook` is one to go on with: it holds a member line, by the same test as
// CallbookOverview::hasMemberLine. Reads up to the first member line.
bool HoldsMemberLine(const std::filesystem::path& callbook);

}  // namespace kalvera
