#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/callbook_reader.h"
#include "core/callbook_record.h"

namespace kalvera {

// The banner shows a version line up to this many characters, then "…": a line's worth on
// the window, whatever a file holds.
inline constexpr std::size_t kMaxBannerCharacters = 200;

struct VersionBanner {
    // "Database " + the last version line + " WIB", UTF-8; empty when the file has no
    // version line (the caption then stays as it was).
    std::optional<std::string> caption;
    // Why the callbook was not read through; no caption then.
    std::optional<ReadFailure> failure;
};

// Keeps the last version line of a pass, for passes that collect more than the version.
class VersionCollector {
  public:
    void Take(std::string_view line) {
        if (IsVersionLine(line)) {
            last_.assign(line);
            found_ = true;
        }
    }
    VersionBanner Finish(const ScanSummary& scan) const;

  private:
    std::string last_;
    bool found_ = false;
};

VersionBanner QueryDatabaseVersion(const std::filesystem::path& callbook);

}  // namespace kalvera
