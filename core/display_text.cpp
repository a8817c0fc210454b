#include "display_text.h"

#include <algorithm>
#include <array>

#include "ascii_case.h"
#include "callbook_format.h"

namespace kalvera {

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five unassigned ones map to the C1 controls, as the
// platform's own conversion does.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

char32_t FromWindows1252(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : byte;
}

std::optional<std::string> Utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::optional<Utf8Character> character = DecodeUtf8(utf8, i);
        if (!character) {
            return std::nullopt;
        }
        i += character->length;
        const char32_t code = character->code;
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            out.push_back(static_cast<char>(code));
            continue;
        }
        const auto high = std::find(kCp1252High.begin(), kCp1252High.end(), code);
        if (high == kCp1252High.end()) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(0x80 + (high - kCp1252High.begin())));
    }
    return out;
}

std::string DisplayValidUntil(std::string_view field) {
    if (field.size() == kDateLength) {
        const std::size_t first = field.find(kDateSeparator);
        const std::size_t second =
            first == std::string_view::npos ? first : field.find(kDateSeparator, first + 1);
        const bool threeParts = second != std::string_view::npos &&
                                field.find(kDateSeparator, second + 1) == std::string_view::npos;
        if (!threeParts) {
            return std::string(field);
        }
        std::string shown;
        shown.reserve(kDateLength);
        shown.append(field.substr(second + 1)).push_back(kDateSeparator);
        shown.append(field.substr(first + 1, second - first - 1)).push_back(kDateSeparator);
        shown.append(field.substr(0, first));
        return shown;
    }
    if (EqualsLowerCased(field, kNoDate)) {
        return "-";
    }
    return std::string(field);
}

std::string ToDisplayText(std::string_view bytes) {
    if (IsValidUtf8(bytes)) {
        if (bytes.starts_with(kUtf8ByteOrderMark)) {
            bytes.remove_prefix(kUtf8ByteOrderMark.size());
        }
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char c : bytes) {
        AppendUtf8(out, FromWindows1252(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace kalvera
