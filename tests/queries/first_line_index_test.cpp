#include "queries/first_line_index.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvera {
namespace {

// Enough texts for the table to grow several times; each repeat must find its first line.
TEST(FirstLineIndex, everyRepeat_findsTheFirstLineAcrossGrowth) {
    FirstLineIndex index;
    constexpr std::uint64_t kTexts = 20000;
    for (std::uint64_t line = 1; line <= kTexts; ++line) {
        ASSERT_EQ(index.FirstLine("QV27" + std::to_string(line), line), line);
    }
    for (std::uint64_t line = 1; line <= kTexts; ++line) {
        ASSERT_EQ(index.FirstLine("QV27" + std::to_string(line), kTexts + line), line);
    }
    EXPECT_EQ(index.FirstLine("", 99999), 99999u);
    EXPECT_EQ(index.FirstLine("", 100000), 99999u);
    const std::string longest(65535, 'x');
    EXPECT_EQ(index.FirstLine(longest, 7), 7u);
    EXPECT_EQ(index.FirstLine(longest, 8), 7u);
    EXPECT_EQ(index.Size(), kTexts + 2);
}

}  // namespace
}  // namespace kalvera
