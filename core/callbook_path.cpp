#include "callbook_path.h"

#include <string>
#include <system_error>

#include "platform.h"

namespace kalvera {

std::filesystem::path CallbookPath(const std::filesystem::path& programFolder) {
    return programFolder / kCallbookFileName;
}

bool CallbookExists(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::is_regular_file(file, error) && !platform::IsHiddenOrSystem(file);
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace kalvera
