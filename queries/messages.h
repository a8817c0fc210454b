#pragma once

#include <string>
#include <string_view>

#include "core/callbook_format.h"

namespace kalvera {

inline constexpr std::string_view kMissingCallbookMessage = "Database tidak ditemukan!";
inline constexpr std::string_view kMissingCallbookTitle = "Informasi";
inline constexpr std::string_view kNotFoundSuffix = " tidak ditemukan!";

inline std::string NotFoundLine(std::string_view key) {
    return std::string(key) + std::string(kNotFoundSuffix);
}

}  // namespace kalvera
