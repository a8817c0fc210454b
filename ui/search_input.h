#pragma once

#include <QString>

namespace kalvera {

// The search box's rules (queries/search_text.h) for the box's own text.

// True when the text as a whole reads as a number, and the box searches for nothing
// (IsNumericSearchText).
bool IsNumericText(const QString& text);

// The full callsign for a typed suffix: the regional prefix, then the suffix trimmed of blanks
// and upper-cased (SearchKeyFor). Only for a text that is neither empty nor numeric.
QString SearchKey(const QString& suffix);

}  // namespace kalvera
