#include "callbook_overview.h"

#include "core/callbook_record.h"

namespace kalvera {

CallbookOverview QueryRegionsAndVersion(const std::filesystem::path& callbook) {
    RegionCollector regions;
    VersionCollector version;
    std::uint64_t members = 0;
    const ScanSummary scan = ReadCallbook(callbook, [&](std::string_view line) {
        regions.Take(line);
        version.Take(line);
        members += IsMemberLine(line) ? 1 : 0;
        return false;
    });
    return {regions.Finish(scan), version.Finish(scan), members};
}

}  // namespace kalvera
