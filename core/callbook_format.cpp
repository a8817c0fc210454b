#include "callbook_format.h"

namespace kalvera {
namespace {

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// How many characters from `at` satisfy `accept`, stopping past `most`.
template <typename Accept>
std::size_t Run(std::string_view text, std::size_t at, std::size_t most, Accept accept) {
    std::size_t n = 0;
    while (at + n < text.size() && n <= most && accept(text[at + n])) {
        ++n;
    }
    return n;
}

bool HasCallsignShape(std::string_view field) {
    while (!field.empty() && IsBlank(field.front())) {
        field.remove_prefix(1);
    }
    while (!field.empty() && IsBlank(field.back())) {
        field.remove_suffix(1);
    }
    const std::size_t letters = Run(field, 0, kMaxCallsignLetters, IsLetter);
    if (letters == 0 || letters > kMaxCallsignLetters) {
        return false;
    }
    const std::size_t digits = Run(field, letters, kMaxCallsignDigits, IsDigit);
    if (digits == 0 || digits > kMaxCallsignDigits) {
        return false;
    }
    const std::size_t rest = field.size() - letters - digits;
    if (rest == 0) {
        return true;
    }
    // After the digits the suffix must start with a letter (more digits are the digit run).
    return rest <= kMaxCallsignSuffix && IsLetter(field[letters + digits]) &&
           Run(field, letters + digits, kMaxCallsignSuffix,
               [](char c) { return IsLetter(c) || IsDigit(c); }) == rest;
}

}  // namespace

bool IsMemberLine(std::string_view line) {
    const std::size_t first = line.find(kFieldSeparator);
    if (first == std::string_view::npos || !HasCallsignShape(line.substr(0, first))) {
        return false;
    }
    std::size_t separators = 1;
    for (std::size_t at = line.find(kFieldSeparator, first + 1);
         at != std::string_view::npos && separators < kMemberFieldCount - 1;
         at = line.find(kFieldSeparator, at + 1)) {
        ++separators;
    }
    return separators >= kMemberFieldCount - 1;
}

}  // namespace kalvera
