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
    // Whether any line is one IsMemberLine takes for a member. None in a file that exists and
    // was read whole means it is damaged or is not a callbook (zeros left by a power cut, say).
    bool hasMemberLine = false;
};

CallbookOverview QueryRegionsAndVersion(const std::filesystem::path& callbook);

}  // namespace kalvera
