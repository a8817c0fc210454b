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

TEST(SearchKeyFor, suffix_getsThePrefixWithoutSpacesAndInUpperCase) {
    EXPECT_EQ(SearchKeyFor("abc"), "QV27ABC");
    EXPECT_EQ(SearchKeyFor(" ab "), "QV27AB");
    EXPECT_EQ(SearchKeyFor("   "), "QV27");
    EXPECT_EQ(SearchKeyFor("\tab"), "QV27\tAB");  // the box trims spaces only
    EXPECT_EQ(SearchKeyFor("\xC3\xA9"), "QV27\xC3\x89");
    EXPECT_EQ(SearchKeyFor("1a"), "QV271A");
}

TEST(SearchKeyFor, wholeCallsign_isNotPrefixedTwice) {
    EXPECT_EQ(SearchKeyFor("qv27bgs"), "QV27BGS");
    EXPECT_EQ(SearchKeyFor("QV27"), "QV27");
    EXPECT_EQ(SearchKeyFor("QV28ABC"), "QV27QV28ABC");
}

TEST(SearchKeyFor, emptyOrNumericText_searchesForNothing) {
    EXPECT_EQ(SearchKeyFor(""), std::nullopt);
    EXPECT_EQ(SearchKeyFor("123"), std::nullopt);
    EXPECT_EQ(SearchKeyFor(" -1.5 "), std::nullopt);
}

}  // namespace
}  // namespace kalvera
