#include "ascii_case.h"

#include <algorithm>

namespace kalvera {

std::string ToUpperAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return ToUpperAscii(c); });
    return out;
}

std::string ToLowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return ToLowerAscii(c); });
    return out;
}

bool EqualsUpperCased(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return ToUpperAscii(x) == ToUpperAscii(y); });
}

bool EqualsLowerCased(std::string_view text, std::string_view lowerWord) {
    return std::equal(text.begin(), text.end(), lowerWord.begin(), lowerWord.end(),
                      [](char x, char y) { return ToLowerAscii(x) == y; });
}

}  // namespace kalvera
