#pragma once

#include <string>
#include <string_view>

namespace kalvera {

inline constexpr std::string_view kMissingCallbookMessage = "Database tidak ditemukan!";
inline constexpr std::string_view kMissingCallbookTitle = "Informasi";
inline constexpr std::string_view kNotFoundSuffix = " tidak ditemukan!";

// The full callsign a suffix stands for.
inline constexpr std::string_view kCallsignPrefix = "QV27";

inline std::string NotFoundLine(std::string_view key) {
    return std::string(key) + std::string(kNotFoundSuffix);
}

}  // namespace kalvera
