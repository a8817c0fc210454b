#pragma once

#include <filesystem>
#include <string_view>

namespace kalvera {

inline constexpr const char* kCallbookFileName = "log.txt";

// The callbook is always log.txt in the program's own folder.
std::filesystem::path CallbookPath(const std::filesystem::path& programFolder);

// True only for a regular file. A folder named log.txt counts as missing, and so does, on
// Windows, a file marked hidden or system.
bool CallbookExists(const std::filesystem::path& file);

// A path given as UTF-8 text (a command-line argument, say). On Windows a path made from a
// plain std::string would be read in the ANSI code page instead.
std::filesystem::path PathFromUtf8(std::string_view utf8);

}  // namespace kalvera
