#include "substring_finder.h"

#include <array>
#include <cstring>

namespace kalvera {
namespace {

// Rough commonness of each byte in callbook text: higher is more common.
constexpr std::array<unsigned char, 256> MakeCommonness() {
    std::array<unsigned char, 256> rank{};
    for (int c = 0; c < 256; ++c) {
        rank[c] = c >= 0x80 ? 20 : 80;
    }
    for (int c = 'A'; c <= 'Z'; ++c) {
        rank[c] = 60;
    }
    for (char c : std::string_view("KJSBM")) {
        rank[static_cast<unsigned char>(c)] = 130;
    }
    for (int c = 'a'; c <= 'z'; ++c) {
        rank[c] = 170;
    }
    for (char c : std::string_view("aeinurtslkomgbdh")) {
        rank[static_cast<unsigned char>(c)] = 230;
    }
    for (int c = '0'; c <= '9'; ++c) {
        rank[c] = 190;
    }
    for (char c : std::string_view("QV2701")) {
        rank[static_cast<unsigned char>(c)] = 235;
    }
    rank['.'] = 150;
    rank['-'] = 210;
    rank['#'] = 250;
    rank[' '] = 255;
    rank['\r'] = 240;
    rank['\n'] = 240;
    return rank;
}

constexpr std::array<unsigned char, 256> kCommonness = MakeCommonness();

}  // namespace

SubstringFinder::SubstringFinder(std::string needle) : needle_(std::move(needle)) {
    // Ties go to the later byte: the end of a key (a callsign's suffix) varies most.
    for (std::size_t i = 0; i < needle_.size(); ++i) {
        if (kCommonness[static_cast<unsigned char>(needle_[i])] <=
            kCommonness[static_cast<unsigned char>(needle_[guardIndex_])]) {
            guardIndex_ = i;
        }
    }
}

std::size_t SubstringFinder::Find(std::string_view haystack, std::size_t from) const {
    const std::size_t n = needle_.size();
    if (from > haystack.size() || haystack.size() - from < n) {
        return std::string_view::npos;
    }
    if (n == 0) {
        return from;
    }
    const char* const base = haystack.data();
    const char guard = needle_[guardIndex_];
    // Candidate guard positions: needle start from `from` to size - n.
    const char* scan = base + from + guardIndex_;
    const char* const last = base + (haystack.size() - n) + guardIndex_;
    while (scan <= last) {
        const void* hit = std::memchr(scan, guard, static_cast<std::size_t>(last - scan) + 1);
        if (hit == nullptr) {
            return std::string_view::npos;
        }
        const char* start = static_cast<const char*>(hit) - guardIndex_;
        if (std::memcmp(start, needle_.data(), n) == 0) {
            return static_cast<std::size_t>(start - base);
        }
        scan = static_cast<const char*>(hit) + 1;
    }
    return std::string_view::npos;
}

}  // namespace kalvera
