#include "queries/search_text.h"

#include <gtest/gtest.h>

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

TEST(UpperCaseSearchText, everyLetter_asTheSearchBoxShowsIt) {
    EXPECT_EQ(UpperCaseSearchText("abc xyz 1#"), "ABC XYZ 1#");
    EXPECT_EQ(UpperCaseSearchText("\xC3\xA9"), "\xC3\x89");                  // é: É
    EXPECT_EQ(UpperCaseSearchText("\xC3\xBF"), "\xC5\xB8");                  // ÿ: Ÿ
    EXPECT_EQ(UpperCaseSearchText("\xD0\xB4\xD0\xB0"), "\xD0\x94\xD0\x90");  // да: ДА
    EXPECT_EQ(UpperCaseSearchText("\xC3\x9F"), "SS");                        // ß
    EXPECT_EQ(UpperCaseSearchText("\xEF\xAC\x83"), "FFI");                   // the ligature ffi
    EXPECT_EQ(UpperCaseSearchText("\xC4\xB1"), "I");                         // dotless i
    EXPECT_EQ(UpperCaseSearchText("\xF0\x90\x90\xA8"), "\xF0\x90\x90\x80");  // Deseret
    EXPECT_EQ(UpperCaseSearchText("\xE6\xA2\x85"), "\xE6\xA2\x85");          // 梅: no case
    EXPECT_EQ(UpperCaseSearchText("b\xE9k"), "B\xE9K");                      // not UTF-8: kept
}

std::string KeyFor(std::string_view typed) {
    return SearchKeyFor(typed).callsign;
}

TEST(SearchKeyFor, suffix_getsThePrefixWithoutSpacesAndInUpperCase) {
    EXPECT_EQ(KeyFor("abc"), "QV27ABC");
    EXPECT_EQ(KeyFor(" ab "), "QV27AB");
    EXPECT_EQ(KeyFor("   "), "QV27");
    EXPECT_EQ(KeyFor("\tab"), "QV27\tAB");  // the box trims spaces only
    EXPECT_EQ(KeyFor("\xC3\xA9"), "QV27\xC3\x89");
    EXPECT_EQ(KeyFor("1a"), "QV271A");
}

TEST(SearchKeyFor, wholeCallsign_isNotPrefixedTwice) {
    EXPECT_EQ(KeyFor("qv27bgs"), "QV27BGS");
    EXPECT_EQ(KeyFor("QV27"), "QV27");
    EXPECT_EQ(KeyFor("QV2"), "QV27QV2");
}

// As many characters as the box holds, counted as Qt counts them, after upper-casing.
TEST(SearchKeyFor, whatTheBoxCannotHoldOrSearch_isRefused) {
    struct Case {
        const char* typed;
        SearchRefusal refusal;
    };
    for (const Case& c : {
             Case{"", SearchRefusal::Empty},
             Case{"123", SearchRefusal::Numeric},
             Case{" -1.5 ", SearchRefusal::Numeric},
             Case{"abcd", SearchRefusal::TooLong},
             Case{"qv27abcd", SearchRefusal::TooLong},
             Case{"QV28ABC", SearchRefusal::TooLong},
             Case{"ab\xC3\x9F", SearchRefusal::TooLong},          // abß: ABSS
             Case{"ab\xF0\x90\x90\xA8", SearchRefusal::TooLong},  // two code units
             Case{"a\xC3\x9F", SearchRefusal::None},
             Case{"\xC3\x9F", SearchRefusal::None},
             Case{"\xF0\x90\x90\xA8", SearchRefusal::None},
             Case{" abc ", SearchRefusal::None},
             Case{"qv27abc", SearchRefusal::None},
         }) {
        const TypedSearch search = SearchKeyFor(c.typed);
        EXPECT_EQ(search.refusal, c.refusal) << c.typed;
        EXPECT_EQ(search.callsign.empty(), c.refusal != SearchRefusal::None) << c.typed;
    }
}

TEST(TypingFinds, everyReason_theWindowCannotFindACallsign) {
    struct Case {
        const char* callsign;
        Findability answer;
    };
    for (const Case& c : {
             Case{"QV27ABC", Findability::Findable},
             Case{"QV27\xC3\x89", Findability::Findable},  // É
             Case{"QV27", Findability::Findable},          // typing a blank
             Case{"QV271A", Findability::Findable},
             Case{" QV27ABC", Findability::BlanksAround},
             Case{"QV27ABC\t", Findability::BlanksAround},
             Case{"QV28ABC", Findability::OtherPrefix},
             Case{"\xEF\xBB\xBFQV27ABC", Findability::OtherPrefix},
             Case{"QV27\xC9", Findability::NotText},  // Windows-1252
             Case{"qv27abc", Findability::OtherLetters},
             Case{"QV27\xC3\xA9", Findability::OtherLetters},  // é
             Case{"QV27\xC3\x9F", Findability::OtherLetters},  // ß: SS
             Case{"QV27ABCD", Findability::TooLong},
             Case{"QV27SSSS", Findability::TooLong},
             Case{"QV2712", Findability::Numeric},
         }) {
        EXPECT_EQ(TypingFinds(c.callsign), c.answer) << c.callsign;
    }
}

}  // namespace
}  // namespace kalvera
