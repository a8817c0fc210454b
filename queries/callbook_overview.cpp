#include "callbook_overview.h"

#include "core/callbook_record.h"

namespace kalvera {
CallbookOverview QueryRegionsAndVersion(const std::filesystem::path& callbook) {
    RegionCollector regions;
    VersionCollector version;
    bool member = false;
    const ScanSummary scan = ReadCallbook(callbook, [&](std::string_view line) {
        regions.Take(line);
        version.Take(line);
        // One member is enough to know; the rest of a large file is not looked at for it.
        member = member || IsMemberLine(line);
        return false;
    });
    return {regions.Finish(scan), version.Finish(scan), member};
}

bool HoldsMemberLine(const std::filesystem::path& callbook) {
    bool member = false;
    ReadCallbook(callbook, [&member](std::string_view line) {
        member = IsMemberLine(line);
        return member;
    });
    return member;
}

}  // namespace kalvera
