#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "substring_finder.h"

namespace kalvera {

// How a pass over the callbook ended.
enum class ScanResult {
    Completed,    // every line was handed over
    Stopped,      // the handler said it was finished
    FileMissing,  // no regular file at the path, or it could not be opened
};

// Receives one line's text, without its terminator; returns true when the scan is finished.
// The view is valid only during the call.
using LineHandler = std::function<bool(std::string_view line)>;

// Bytes read from the file per step. Memory stays at this size whatever the file's size;
// only a single line longer than this makes the buffer grow (to that line's length).
inline constexpr std::size_t kReadChunkSize = 256 * 1024;

// No real line comes near this. A longer line is not a member, a region or a version line:
// readers skip it without keeping it, so memory stays bounded whatever a file holds.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

// Reads the callbook from its first line to its last and hands every line to `onLine`.
// Lines end with LF, the CR of a CR LF ending is dropped, and a last line without a
// terminator still counts. An empty file has no line at all. Other bytes, NUL included,
// are data.
ScanResult ReadCallbook(const std::filesystem::path& file, const LineHandler& onLine);

// As ReadCallbook, but hands over only the lines that contain `key` (letter case respected).
// The other lines are never split or copied: the key is searched in whole chunks first.
ScanResult ReadCallbookLinesContaining(const std::filesystem::path& file,
                                       const SubstringFinder& key, const LineHandler& onLine);

struct LastMatchingLine {
    ScanResult result = ScanResult::Completed;
    std::optional<std::string> line;  // empty when no line contains the needle
};

// The last line that contains `needle`. Reads the file backwards from its end, so the cost
// depends on the distance of that line from the end, not on the file's size.
LastMatchingLine FindLastLineContaining(const std::filesystem::path& file, std::string_view needle);

}  // namespace kalvera
