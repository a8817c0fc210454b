#include "callbook_overview.h"

namespace kalvera {

CallbookOverview QueryRegionsAndVersion(const std::filesystem::path& callbook) {
    RegionCollector regions;
    VersionCollector version;
    const ScanSummary scan = ReadCallbook(callbook, [&](std::string_view line) {
        regions.Take(line);
        version.Take(line);
        return false;
    });
    return {regions.Finish(scan), version.Finish(scan)};
}

}  // namespace kalvera
