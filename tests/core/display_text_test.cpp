#include "core/display_text.h"

#include <gtest/gtest.h>

namespace kalvera {
namespace {

TEST(DisplayValidUntil, tenCharacterDate_isShownDayFirst) {
    EXPECT_EQ(DisplayValidUntil("2025-03-17"), "17-03-2025");
    EXPECT_EQ(DisplayValidUntil("0000-00-00"), "00-00-0000");
}

TEST(DisplayValidUntil, nullInAnyCase_isADash) {
    EXPECT_EQ(DisplayValidUntil("null"), "-");
    EXPECT_EQ(DisplayValidUntil("NULL"), "-");
    EXPECT_EQ(DisplayValidUntil("Null"), "-");
}

TEST(DisplayValidUntil, otherTexts_areShownUnchanged) {
    EXPECT_EQ(DisplayValidUntil("2025-3-7"), "2025-3-7");
    EXPECT_EQ(DisplayValidUntil(""), "");
    EXPECT_EQ(DisplayValidUntil("null "), "null ");
    // Ten characters, but not three parts.
    EXPECT_EQ(DisplayValidUntil("2025/03/17"), "2025/03/17");
    EXPECT_EQ(DisplayValidUntil("2025-03-1-"), "2025-03-1-");
    EXPECT_EQ(DisplayValidUntil("20250317-x"), "20250317-x");
}

TEST(ToDisplayText, validUtf8_isKeptAndByteOrderMarkDropped) {
    EXPECT_EQ(ToDisplayText("Jl. Cendana"), "Jl. Cendana");
    EXPECT_EQ(ToDisplayText("Ren\xC3\xA9"), "Ren\xC3\xA9");
    EXPECT_EQ(ToDisplayText("\xEF\xBB\xBFQV27ABC"), "QV27ABC");
}

TEST(ToDisplayText, otherBytes_areReadAsWindows1252) {
    EXPECT_EQ(ToDisplayText("Ren\xE9"), "Ren\xC3\xA9");                        // e acute
    EXPECT_EQ(ToDisplayText("\x80 5"), "\xE2\x82\xAC 5");                      // euro sign
    EXPECT_EQ(ToDisplayText("\xC3\x28"), "\xC3\x83(");                         // broken UTF-8 pair
    EXPECT_EQ(ToDisplayText("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");  // surrogate
}

}  // namespace
}  // namespace kalvera
