#pragma once

#include <filesystem>

#include "region_list.h"
#include "version_banner.h"

namespace kalvera {

// What the window needs at start-up, from a single pass over the file: the region list and
// the version banner.
struct CallbookOverview {
    RegionList regions;
    VersionBanner version;
};

CallbookOverview QueryRegionsAndVersion(const std::filesystem::path& callbook);

}  // namespace kalvera
