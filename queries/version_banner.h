#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/callbook_record.h"

namespace kalvera {

struct VersionBanner {
    bool fileMissing = false;
    // "Database " + the last version line + " WIB", UTF-8; empty when the file has no
    // version line (the caption then stays as it was).
    std::optional<std::string> caption;
};

VersionBanner QueryDatabaseVersion(const std::filesystem::path& callbook);

}  // namespace kalvera
