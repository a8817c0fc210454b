#pragma once

#include <string_view>

namespace kalvera {

// True when what is typed into the search box reads as a number as a whole, and the box
// therefore searches for nothing: an optional sign and ASCII digits with at most one decimal
// point, blanks (spaces) around allowed ("12", " 1.5", "-7", "+3", ".5", "4."). Blanks only,
// exponents, hexadecimal, "inf" and "nan" are not numbers here: they could be callsign
// suffixes. The data keepers' check uses the same rule, so the two cannot drift apart.
bool IsNumericSearchText(std::string_view text);

}  // namespace kalvera
