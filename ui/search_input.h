#pragma once

#include <QString>

namespace kalvera {

// Drops leading and trailing blanks (spaces) only.
QString TrimBlanks(const QString& text);

// True when the text as a whole reads as a number (IsNumericSearchText, queries/search_text.h).
bool IsNumericText(const QString& text);

// The full callsign for a typed suffix: the regional prefix, then the suffix trimmed of blanks
// and upper-cased.
QString SearchKey(const QString& suffix);

}  // namespace kalvera
