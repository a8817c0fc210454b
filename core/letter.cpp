#include "letter.h"

#include <algorithm>
#include <iterator>

#include "letter_table.h"

namespace kalvera {

bool IsLetter(char32_t code) {
    using letters::kLetterRuns;
    if (code < 0x80) {
        return (code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z');
    }
    // The first run that ends at or after `code`.
    const auto run =
        std::lower_bound(std::begin(kLetterRuns), std::end(kLetterRuns), code,
                         [](const letters::LetterRun& r, char32_t c) { return r.last < c; });
    return run != std::end(kLetterRuns) && run->first <= code;
}

}  // namespace kalvera
