#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kalvera {

// UTF-8: the text every reader hands on, whatever the file's encoding, and the text of the
// window, the tool and the logs. The program's one encoder and decoder.

// What stands for a character that cannot be read: a broken UTF-16 surrogate, half a code unit.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The most bytes one character takes.
inline constexpr std::size_t kMaxUtf8Bytes = 4;

// Writes `code` (a Unicode scalar value) as UTF-8 to `out`, which has room for kMaxUtf8Bytes;
// returns how many bytes it took.
std::size_t PutUtf8(char32_t code, char* out);
void AppendUtf8(std::string& out, char32_t code);

struct Utf8Character {
    char32_t code = 0;
    std::size_t length = 0;  // in bytes
};

// The character that starts at byte `at` of `text`; nothing when the bytes there are not
// well-formed UTF-8 (an overlong form, a surrogate, a cut-off sequence, a stray byte).
std::optional<Utf8Character> DecodeUtf8(std::string_view text, std::size_t at);

bool IsValidUtf8(std::string_view text);

}  // namespace kalvera
