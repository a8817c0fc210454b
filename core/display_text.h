#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "utf8.h"

namespace kalvera {

// The text to show for a field of the valid-until column: yyyy-mm-dd as dd-mm-yyyy, "null"
// in any letter case as "-", anything else unchanged. A ten-character text that does not
// split into exactly three parts at '-' is also shown unchanged.
std::string DisplayValidUntil(std::string_view field);

// Fields are bytes as stored. Valid UTF-8 is kept (a leading byte-order mark is dropped);
// anything else is read as Windows-1252, the ANSI code page of Indonesian Windows.
std::string ToDisplayText(std::string_view bytes);

// The character that `byte` stands for in Windows-1252.
char32_t FromWindows1252(unsigned char byte);

// The Windows-1252 bytes of UTF-8 text, so that a name typed as UTF-8 can also be matched
// against a callbook saved in the ANSI code page. No value when the text is not valid UTF-8
// or holds a character that Windows-1252 lacks.
std::optional<std::string> Utf8ToWindows1252(std::string_view utf8);

}  // namespace kalvera
