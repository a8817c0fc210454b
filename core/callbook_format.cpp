#include "callbook_format.h"

#include "display_text.h"
#include "letter.h"
#include "utf8.h"

namespace kalvera {
namespace {

bool IsDigit(char32_t c) {
    return c >= '0' && c <= '9';
}

// Walks a field character by character, read as the window shows it (ToDisplayText): UTF-8
// when the field is, and Windows-1252 when it is not.
class Characters {
  public:
    explicit Characters(std::string_view field) : field_(field), utf8_(IsValidUtf8(field)) {}

    bool AtEnd() const { return at_ == field_.size(); }
    Utf8Character Here() const {
        return utf8_ ? *DecodeUtf8(field_, at_)
                     : Utf8Character{FromWindows1252(static_cast<unsigned char>(field_[at_])), 1};
    }

    // Steps over the characters that `accept` takes, at most `most` + 1 of them; returns how
    // many.
    template <typename Accept>
    std::size_t Run(std::size_t most, Accept accept) {
        std::size_t n = 0;
        while (!AtEnd() && n <= most) {
            const Utf8Character c = Here();
            if (!accept(c.code)) {
                break;
            }
            at_ += c.length;
            ++n;
        }
        return n;
    }

  private:
    std::string_view field_;
    bool utf8_;
    std::size_t at_ = 0;
};

}  // namespace

bool HasCallsignShape(std::string_view field) {
    while (!field.empty() && IsBlank(field.front())) {
        field.remove_prefix(1);
    }
    while (!field.empty() && IsBlank(field.back())) {
        field.remove_suffix(1);
    }
    Characters characters(field);
    const std::size_t letters = characters.Run(kMaxCallsignLetters, IsLetter);
    if (letters == 0 || letters > kMaxCallsignLetters) {
        return false;
    }
    const std::size_t digits = characters.Run(kMaxCallsignDigits, IsDigit);
    if (digits == 0 || digits > kMaxCallsignDigits) {
        return false;
    }
    if (characters.AtEnd()) {
        return true;
    }
    // After the digits the suffix must start with a letter (more digits are the digit run).
    if (!IsLetter(characters.Here().code)) {
        return false;
    }
    const std::size_t rest =
        characters.Run(kMaxCallsignSuffix, [](char32_t c) { return IsLetter(c) || IsDigit(c); });
    return rest <= kMaxCallsignSuffix && characters.AtEnd();
}

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
