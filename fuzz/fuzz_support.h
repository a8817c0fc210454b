#pragma once

// What every fuzz target shares: a check that stops the run with a reproducer, and small
// reference versions of text rules, written independently of the code under test so that the
// two can disagree.

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// libFuzzer treats the abort as a crash and saves the input that caused it.
#define FUZZ_CHECK(condition, ...)                                                             \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::fprintf(stderr, "  " __VA_ARGS__);                                            \
            std::fprintf(stderr, "\n");                                                        \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

namespace kalvera::fuzz {

inline std::string_view Bytes(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A printable rendering of arbitrary bytes for failure messages.
inline std::string Escaped(std::string_view bytes, std::size_t limit = 200) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            out += "\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    if (bytes.size() > limit) {
        out += "... (" + std::to_string(bytes.size()) + " bytes)";
    }
    return out;
}

// The standard library's search, which shares nothing with the search under test.
inline bool Contains(std::string_view text, std::string_view key) {
    return text.find(key) != std::string_view::npos;
}

inline std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == separator) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

inline char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

inline std::string UpperAscii(std::string_view text) {
    std::string out;
    for (char c : text) {
        out.push_back(UpperAscii(c));
    }
    return out;
}

inline std::string LowerAscii(std::string_view text) {
    std::string out;
    for (char c : text) {
        out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
    }
    return out;
}

// Well-formed UTF-8 as the Unicode standard's table of byte sequences lists it.
inline bool IsWellFormedUtf8(std::string_view text) {
    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const auto in = [&](std::size_t k, unsigned lo, unsigned hi) {
        return k < text.size() && at(k) >= lo && at(k) <= hi;
    };
    while (i < text.size()) {
        const unsigned lead = at(i);
        if (lead <= 0x7F) {
            i += 1;
        } else if (lead >= 0xC2 && lead <= 0xDF && in(i + 1, 0x80, 0xBF)) {
            i += 2;
        } else if (lead == 0xE0 && in(i + 1, 0xA0, 0xBF) && in(i + 2, 0x80, 0xBF)) {
            i += 3;
        } else if (((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) &&
                   in(i + 1, 0x80, 0xBF) && in(i + 2, 0x80, 0xBF)) {
            i += 3;
        } else if (lead == 0xED && in(i + 1, 0x80, 0x9F) && in(i + 2, 0x80, 0xBF)) {
            i += 3;
        } else if (lead == 0xF0 && in(i + 1, 0x90, 0xBF) && in(i + 2, 0x80, 0xBF) &&
                   in(i + 3, 0x80, 0xBF)) {
            i += 4;
        } else if (lead >= 0xF1 && lead <= 0xF3 && in(i + 1, 0x80, 0xBF) && in(i + 2, 0x80, 0xBF) &&
                   in(i + 3, 0x80, 0xBF)) {
            i += 4;
        } else if (lead == 0xF4 && in(i + 1, 0x80, 0x8F) && in(i + 2, 0x80, 0xBF) &&
                   in(i + 3, 0x80, 0xBF)) {
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

// The code points of well-formed UTF-8.
inline std::vector<char32_t> CodePoints(std::string_view utf8) {
    std::vector<char32_t> codes;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        codes.push_back(code);
        i += length;
    }
    return codes;
}

inline void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace kalvera::fuzz
