#pragma once

namespace kalvera {

// A letter of any script, as Qt and so the window's search box know one (QChar::isLetter):
// "A", "é", "Ä", "ß", "Д" and "梅" are letters; digits, marks, blanks and signs are not.
bool IsLetter(char32_t code);

}  // namespace kalvera
