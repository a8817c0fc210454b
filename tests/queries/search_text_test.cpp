#include "queries/search_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace kalvera {
namespace {

TEST(IsNumericSearchText, signedIntegersAndDecimals_withSpacesAround) {
    for (const char* number : {"12", " 1.5", "-7", "+3", ".5", "4.", " 1 "}) {
        EXPECT_TRUE(IsNumericSearchText(number)) << number;
    }
    for (const char* text :
         {"", "   ", "1A", "1E5", "inf", ".", "-", "1.2.3", "1 2", "--1", "\t1"}) {
        EXPECT_FALSE(IsNumericSearchText(text)) << text;
    }
}

// Every code point is compared with Qt's upper case in the window's tests (searchRule_*); what
// is not UTF-8 only here.
TEST(UpperCaseSearchText, bytesThatAreNotUtf8_areKept) {
    EXPECT_EQ(UpperCaseSearchText("b\xE9k \xC3"), "B\xE9K \xC3");
}

// The prefix, then what is typed without the spaces around it and in upper case; nothing for
// what the box cannot hold (as many characters as it holds, counted as Qt counts them, after
// upper-casing) or does not search.
TEST(SearchKeyFor, suffixInUpperCaseAfterThePrefix_orWhyNothing) {
    using enum SearchRefusal;
    struct Case {
        const char* typed;
        const char* callsign;
        SearchRefusal refusal = None;
    };
    for (const Case& c : {
             Case{"abc", "QV27ABC"},
             Case{" ab ", "QV27AB"},
             Case{"   ", "QV27"},
             Case{"\tab", "QV27\tAB"},  // the box trims spaces only
             Case{"\xC3\xA9", "QV27\xC3\x89"},
             Case{"1a", "QV271A"},
             Case{"qv27bgs", "QV27BGS"},  // a whole callsign is not prefixed twice
             Case{"QV27", "QV27"},
             Case{"QV2", "QV27QV2"},
             Case{"a\xC3\x9F", "QV27ASS"},
             Case{"\xF0\x90\x90\xA8", "QV27\xF0\x90\x90\x80"},
             Case{"", "", Empty},
             Case{"123", "", Numeric},
             Case{" -1.5 ", "", Numeric},
             Case{"abcd", "", TooLong},
             Case{"qv27abcd", "", TooLong},
             Case{"QV28ABC", "", TooLong},
             Case{"ab\xC3\x9F", "", TooLong},          // abß: ABSS
             Case{"ab\xF0\x90\x90\xA8", "", TooLong},  // two code units
         }) {
        const TypedSearch search = SearchKeyFor(c.typed);
        EXPECT_EQ(search.callsign, c.callsign) << c.typed;
        EXPECT_EQ(search.refusal, c.refusal) << c.typed;
    }
}

}  // namespace
}  // namespace kalvera
