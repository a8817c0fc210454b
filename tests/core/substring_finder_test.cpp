#include "core/substring_finder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kalvera {
namespace {

using Strategy = SubstringFinder::Strategy;

// Every agreement test runs once per search path, so the portable path is covered in whole
// buffers on machines where the vector path would otherwise leave it only the tails.
class SubstringFinderPaths : public ::testing::TestWithParam<Strategy> {
  protected:
    SubstringFinder Finder(std::string needle) const {
        SubstringFinder finder{std::move(needle), GetParam()};
        if (GetParam() == Strategy::Memchr) {
            EXPECT_FALSE(finder.UsesVectors());
        }
        return finder;
    }
};

// Compared against std::string_view::find on every position, whatever byte is the guard.
TEST_P(SubstringFinderPaths, find_agreesWithStringFind) {
    using namespace std::string_literals;
    const std::string haystack =
        "QV27AB#Ani#Jl. Q#Kota Q#1#2026-01-01#baru\r\nQV27ABC#Budi#x#Kab. Contoh#2#null#\r\n"
        "QV27#z#QV2#QV27ABCQV27ABC\0tail"
        "QV27ZZZ"s;
    for (const std::string& needle :
         std::vector<std::string>{"QV27ABC", "QV27AB", "Q", "QV27ZZZ", "tail", "QV27ABCD", "#",
                                  "Kab. Contoh", "\r\n", std::string("\0t", 2), "z#QV2#"}) {
        const SubstringFinder finder = Finder(needle);
        for (std::size_t from = 0; from <= haystack.size() + 1; ++from) {
            EXPECT_EQ(finder.Find(haystack, from), std::string_view(haystack).find(needle, from))
                << "needle " << needle << " from " << from;
        }
    }
}

// Long haystacks over a small alphabet: many candidates, in whole 32-byte blocks and in the
// tail after them.
TEST_P(SubstringFinderPaths, find_agreesWithStringFind_onLongRandomText) {
    std::mt19937 random(7);
    const std::string alphabet = "QV27AB#a \r\n";
    std::string haystack(2000, ' ');
    for (char& c : haystack) {
        c = alphabet[random() % alphabet.size()];
    }
    for (int round = 0; round < 200; ++round) {
        std::string needle(1 + random() % 6, ' ');
        for (char& c : needle) {
            c = alphabet[random() % alphabet.size()];
        }
        const SubstringFinder finder = Finder(needle);
        for (std::size_t from = 0; from < haystack.size(); from += 1 + random() % 40) {
            ASSERT_EQ(finder.Find(haystack, from), std::string_view(haystack).find(needle, from))
                << "needle " << needle << " from " << from;
        }
    }
}

TEST_P(SubstringFinderPaths, find_emptyNeedle_matchesAtStart) {
    EXPECT_EQ(Finder("").Find("abc", 1), 1u);
    EXPECT_EQ(Finder("abc").Find("", 0), std::string_view::npos);
}

TEST_P(SubstringFinderPaths, find_respectsLetterCase) {
    EXPECT_EQ(Finder("QV27ABC").Find("qv27abc#x"), std::string_view::npos);
}

INSTANTIATE_TEST_SUITE_P(SubstringFinder, SubstringFinderPaths,
                         ::testing::Values(Strategy::Fastest, Strategy::Memchr),
                         [](const ::testing::TestParamInfo<Strategy>& info) {
                             return info.param == Strategy::Memchr ? std::string("memchr")
                                                                   : std::string("fastest");
                         });

}  // namespace
}  // namespace kalvera
