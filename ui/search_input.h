#pragma once

#include <QString>

namespace kalvera {

// Drops leading and trailing blanks (spaces) only.
QString TrimBlanks(const QString& text);

// True when the text as a whole reads as a number: an optional sign and digits with at most one
// decimal point, blanks around allowed ("12", " 1.5", "-7", "+3", ".5", "4."). Blanks only,
// exponents, hexadecimal, "inf" and "nan" are not numbers here: they could be callsign suffixes.
bool IsNumericText(const QString& text);

// The full callsign for a typed suffix: the regional prefix, then the suffix trimmed of blanks
// and upper-cased.
QString SearchKey(const QString& suffix);

}  // namespace kalvera
