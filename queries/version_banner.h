#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kalvera {

// A version line is any line that contains this marker (letter case respected).
inline constexpr std::string_view kVersionMarker = "versi: ";

struct VersionBanner {
    bool fileMissing = false;
    // "Database " + the last version line + " WIB", UTF-8; empty when the file has no
    // version line (the caption then stays as it was).
    std::optional<std::string> caption;
};

VersionBanner QueryDatabaseVersion(const std::filesystem::path& callbook);

}  // namespace kalvera
