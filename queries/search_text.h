#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kalvera {

// The window's search box, as a rule the window and the tool share. What is typed is UTF-8
// here; the box trims only spaces, as it always has.

// True when what is typed into the search box reads as a number as a whole, and the box
// therefore searches for nothing: an optional sign and ASCII digits with at most one decimal
// point, blanks (spaces) around allowed ("12", " 1.5", "-7", "+3", ".5", "4."). Blanks only,
// exponents, hexadecimal, "inf" and "nan" are not numbers here: they could be callsign
// suffixes. The data keepers' check uses the same rule, so the two cannot drift apart.
bool IsNumericSearchText(std::string_view text);

// `text` with every letter in upper case, as the search box shows it: Qt's QString::toUpper,
// the same in every locale, full case mapping included ("é" becomes "É", "ß" becomes "SS").
// Bytes that are not UTF-8 are kept as they are.
std::string UpperCaseSearchText(std::string_view text);

// The callsign the window searches for when `typed` stands in the search box: the prefix, then
// `typed` without the spaces around it and in upper case. Text that starts with the prefix
// once upper-cased is a whole callsign already (the box holds three characters, so only the
// tool is ever given one). Nothing when the window does no lookup: for an empty box and for a
// numeric text.
std::optional<std::string> SearchKeyFor(std::string_view typed);

}  // namespace kalvera
