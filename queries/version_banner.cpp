#include "version_banner.h"

#include "core/callbook_reader.h"
#include "core/display_text.h"

namespace kalvera {

VersionBanner QueryDatabaseVersion(const std::filesystem::path& callbook) {
    // Only the last version line counts, so the file is read from its end.
    const LastMatchingLine last = FindLastLineContaining(callbook, kVersionMarker);
    VersionBanner banner;
    banner.fileMissing = last.result == ScanResult::FileMissing;
    if (last.line) {
        banner.caption = "Database " + ToDisplayText(*last.line) + " WIB";
    }
    return banner;
}

}  // namespace kalvera
