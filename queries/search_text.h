#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kalvera {

// The window's search box, as a rule the window, the tool and the data keepers' check share.
// What is typed is UTF-8 here; the box trims only spaces, as it always has.

// How many characters the search box holds: the suffix typed after the prefix. Counted as the
// box counts them, in UTF-16 code units, of the text it shows (upper case: "ß" shows as "SS").
inline constexpr std::size_t kSearchBoxLength = 3;

// True when what is typed into the search box reads as a number as a whole, and the box
// therefore searches for nothing: an optional sign and ASCII digits with at most one decimal
// point, blanks (spaces) around allowed ("12", " 1.5", "-7", "+3", ".5", "4."). Blanks only,
// exponents, hexadecimal, "inf" and "nan" are not numbers here: they could be callsign
// suffixes.
bool IsNumericSearchText(std::string_view text);

// `text` with every letter in upper case, as the search box shows it: Qt's QString::toUpper,
// the same in every locale, full case mapping included ("é" becomes "É", "ß" becomes "SS").
// Bytes that are not UTF-8 are kept as they are.
std::string UpperCaseSearchText(std::string_view text);

// Why the window searches for nothing.
enum class SearchRefusal {
    None,
    Empty,    // nothing is typed
    Numeric,  // IsNumericSearchText
    TooLong,  // a suffix longer than the box holds: the box never shows it
};

struct TypedSearch {
    std::string callsign;  // what the window searches for; empty when it searches for nothing
    SearchRefusal refusal = SearchRefusal::None;
};

// The callsign the window searches for when `typed` stands in the search box: the prefix, then
// `typed` without the spaces around it and in upper case. Text that starts with the prefix
// once upper-cased is a whole callsign already, and what follows the prefix is its suffix (the
// box holds no prefix, so only the tool is ever given one). A suffix longer than
// kSearchBoxLength is refused: the window can never search for it.
TypedSearch SearchKeyFor(std::string_view typed);

// Whether typing the suffix of `callsign` (what follows the prefix) into the search box makes
// the window search for exactly `callsign`, and if not, why not. The one judge of whether the
// window can find a member.
enum class Findability {
    Findable,
    BlanksAround,  // the box trims what is typed
    OtherPrefix,   // the window puts the prefix before every suffix
    NotText,       // bytes that are not UTF-8: nothing typed is ever such bytes
    OtherLetters,  // the box shows every letter as upper case: "é" as "É", "ß" as "SS"
    TooLong,       // the box does not hold the suffix
    Numeric,       // the box searches for no number
};
Findability TypingFinds(std::string_view callsign);

}  // namespace kalvera
