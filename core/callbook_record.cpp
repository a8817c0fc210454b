#include "callbook_record.h"

#include "ascii_case.h"

namespace kalvera {

CallbookRecord SplitRecord(std::string_view line) {
    CallbookRecord record;
    std::size_t start = 0;
    for (;;) {
        const std::size_t hash = line.find(kFieldSeparator, start);
        if (hash == std::string_view::npos) {
            record.fields.push_back(line.substr(start));
            return record;
        }
        record.fields.push_back(line.substr(start, hash - start));
        start = hash + 1;
    }
}

bool TryGetField(std::string_view line, std::size_t index, std::string_view& field) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t hash = line.find(kFieldSeparator, start);
        if (hash == std::string_view::npos) {
            return false;
        }
        start = hash + 1;
    }
    const std::size_t end = line.find(kFieldSeparator, start);
    field =
        line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    return true;
}

namespace {

constexpr std::size_t kMaxCallsignLetters = 4;
constexpr std::size_t kMaxCallsignDigits = 4;
constexpr std::size_t kMaxCallsignSuffix = 8;

bool IsMemberBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}
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

bool LooksLikeCallsign(std::string_view field) {
    while (!field.empty() && IsMemberBlank(field.front())) {
        field.remove_prefix(1);
    }
    while (!field.empty() && IsMemberBlank(field.back())) {
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
    if (first == std::string_view::npos || !LooksLikeCallsign(line.substr(0, first))) {
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

bool FieldMatchesKey(const CallbookRecord& record, std::size_t index, std::string_view key) {
    return record.Has(index) && EqualsUpperCased(record.fields[index], key);
}

bool LineMatchesKey(std::string_view line, std::string_view key, std::size_t index) {
    return line.find(key) != std::string_view::npos &&
           FieldMatchesKey(SplitRecord(line), index, key);
}

}  // namespace kalvera
