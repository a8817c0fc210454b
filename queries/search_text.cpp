#include "search_text.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "core/callbook_format.h"
#include "core/utf8.h"
#include "upper_case_table.h"

namespace kalvera {
namespace {

// The search box trims spaces, nothing else.
std::string_view WithoutSpacesAround(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

void AppendUpperCase(std::string& out, char32_t code) {
    using namespace upper_case;
    const auto expansion =
        std::lower_bound(std::begin(kUpperCaseExpansions), std::end(kUpperCaseExpansions), code,
                         [](const UpperCaseExpansion& e, char32_t c) { return e.from < c; });
    if (expansion != std::end(kUpperCaseExpansions) && expansion->from == code) {
        for (const char32_t part : expansion->to) {
            if (part != 0) {
                AppendUtf8(out, part);
            }
        }
        return;
    }
    // The last run that starts at or before `code`.
    const auto after =
        std::upper_bound(std::begin(kUpperCaseRuns), std::end(kUpperCaseRuns), code,
                         [](char32_t c, const UpperCaseRun& run) { return c < run.first; });
    if (after != std::begin(kUpperCaseRuns)) {
        const UpperCaseRun& run = *std::prev(after);
        if (code <= run.last && (code - run.first) % run.stride == 0) {
            AppendUtf8(out, static_cast<char32_t>(static_cast<std::int32_t>(code) + run.delta));
            return;
        }
    }
    AppendUtf8(out, code);
}

// The length of the text as the search box counts it: UTF-16 code units, a byte that is not
// UTF-8 one.
std::size_t BoxLength(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::optional<Utf8Character> character = DecodeUtf8(text, i);
        units += character && character->code > 0xFFFF ? 2 : 1;
        i += character ? character->length : 1;
    }
    return units;
}

// The key for `typed`; with `wholeCallsign`, text that starts with the prefix is a callsign.
TypedSearch KeyFor(std::string_view typed, bool wholeCallsign) {
    if (typed.empty()) {
        return {{}, SearchRefusal::Empty};
    }
    if (IsNumericSearchText(typed)) {
        return {{}, SearchRefusal::Numeric};
    }
    std::string suffix = UpperCaseSearchText(WithoutSpacesAround(typed));
    if (wholeCallsign && suffix.starts_with(kCallsignPrefix)) {
        suffix.erase(0, kCallsignPrefix.size());
    }
    if (BoxLength(suffix) > kSearchBoxLength) {
        return {{}, SearchRefusal::TooLong};
    }
    return {std::string(kCallsignPrefix) + suffix, SearchRefusal::None};
}

}  // namespace

bool IsNumericSearchText(std::string_view text) {
    text = WithoutSpacesAround(text);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        text.remove_prefix(1);
    }
    bool digits = false;
    bool point = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

std::string UpperCaseSearchText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out.push_back(byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A')
                                                     : static_cast<char>(byte));
            ++i;
            continue;
        }
        const std::optional<Utf8Character> character = DecodeUtf8(text, i);
        if (!character) {
            out.push_back(text[i]);
            ++i;
            continue;
        }
        AppendUpperCase(out, character->code);
        i += character->length;
    }
    return out;
}

TypedSearch SearchKeyFor(std::string_view typed) {
    return KeyFor(typed, true);
}

Findability TypingFinds(std::string_view callsign) {
    if (!callsign.empty() && (IsBlank(callsign.front()) || IsBlank(callsign.back()))) {
        return Findability::BlanksAround;
    }
    const std::string_view prefix = callsign.substr(0, kCallsignPrefix.size());
    if (UpperCaseSearchText(prefix) != kCallsignPrefix) {
        return Findability::OtherPrefix;
    }
    if (!IsValidUtf8(callsign)) {
        return Findability::NotText;
    }
    // Nothing but the prefix is found by typing a blank: the box searches for the bare prefix.
    const std::string_view suffix = callsign.substr(prefix.size());
    const TypedSearch key = KeyFor(suffix.empty() ? " " : suffix, false);
    switch (key.refusal) {
        case SearchRefusal::Numeric:
            return Findability::Numeric;
        case SearchRefusal::TooLong:
            return Findability::TooLong;
        case SearchRefusal::Empty:
        case SearchRefusal::None:
            break;
    }
    return key.callsign == callsign ? Findability::Findable : Findability::OtherLetters;
}

}  // namespace kalvera
