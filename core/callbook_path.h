#pragma once

#include <filesystem>

namespace kalvera {

inline constexpr const char* kCallbookFileName = "log.txt";

// The callbook is always log.txt in the program's own folder.
std::filesystem::path CallbookPath(const std::filesystem::path& programFolder);

// True only for a regular file. A folder named log.txt counts as missing, and so does, on
// Windows, a file marked hidden or system.
bool CallbookExists(const std::filesystem::path& file);

}  // namespace kalvera
