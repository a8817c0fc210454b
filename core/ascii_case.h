#pragma once

#include <string>
#include <string_view>

namespace kalvera {

// Letter case in the callbook is ASCII only: the file's other bytes may be Windows-1252 or
// UTF-8, and changing their case byte by byte would corrupt one or the other.
constexpr char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char ToLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);

// Whole-string comparison after upper-casing both sides; no allocation.
bool EqualsUpperCased(std::string_view a, std::string_view b);
// True when `text`, lower-cased, equals `lowerWord` (which must already be lower case).
bool EqualsLowerCased(std::string_view text, std::string_view lowerWord);

}  // namespace kalvera
