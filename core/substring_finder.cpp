#include "substring_finder.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "callbook_format.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define KALVERA_HAVE_AVX2_SEARCH 1
#else
#define KALVERA_HAVE_AVX2_SEARCH 0
#endif

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
    for (char c : kCallsignPrefix) {  // on every member line
        rank[static_cast<unsigned char>(c)] = 235;
    }
    rank['0'] = rank['1'] = 235;  // member numbers and dates
    rank['.'] = 150;
    rank[static_cast<unsigned char>(kDateSeparator)] = 210;
    rank[static_cast<unsigned char>(kFieldSeparator)] = 250;
    rank[' '] = 255;
    rank['\r'] = 240;
    rank['\n'] = 240;
    return rank;
}

constexpr std::array<unsigned char, 256> kCommonness = MakeCommonness();

unsigned char Commonness(char c) {
    return kCommonness[static_cast<unsigned char>(c)];
}

#if KALVERA_HAVE_AVX2_SEARCH
bool CpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// Candidate starts `start` with needle[first] at start + first and needle[second] at
// start + second, 32 at a time; the whole needle is compared only at those. Positions that
// do not fill a last block of 32 are left for the caller: returns `end` for them.
__attribute__((target("avx2"))) std::size_t FindCandidatesAvx2(std::string_view haystack,
                                                               std::string_view needle,
                                                               std::size_t first,
                                                               std::size_t second, std::size_t from,
                                                               std::size_t& end) {
    const char* const base = haystack.data();
    const std::size_t lastStart = haystack.size() - needle.size();
    const __m256i firstByte = _mm256_set1_epi8(needle[first]);
    const __m256i secondByte = _mm256_set1_epi8(needle[second]);
    std::size_t start = from;
    for (; start + 31 <= lastStart; start += 32) {
        const __m256i a =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + start + first));
        const __m256i b =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + start + second));
        auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(a, firstByte), _mm256_cmpeq_epi8(b, secondByte))));
        while (mask != 0) {
            const std::size_t candidate = start + static_cast<std::size_t>(__builtin_ctz(mask));
            if (std::memcmp(base + candidate, needle.data(), needle.size()) == 0) {
                return candidate;
            }
            mask &= mask - 1;
        }
    }
    end = start;
    return std::string_view::npos;
}
#endif

}  // namespace

SubstringFinder::SubstringFinder(std::string needle, [[maybe_unused]] Strategy strategy)
    : needle_(std::move(needle)) {
    // Ties go to the later byte: the end of a key (a callsign's suffix) varies most.
    for (std::size_t i = 0; i < needle_.size(); ++i) {
        if (Commonness(needle_[i]) <= Commonness(needle_[guardIndex_])) {
            guardIndex_ = i;
        }
    }
    secondIndex_ = guardIndex_ == 0 ? needle_.size() - 1 : 0;
    for (std::size_t i = 0; i < needle_.size(); ++i) {
        if (i != guardIndex_ && Commonness(needle_[i]) <= Commonness(needle_[secondIndex_])) {
            secondIndex_ = i;
        }
    }
#if KALVERA_HAVE_AVX2_SEARCH
    useVectors_ = strategy == Strategy::Fastest && needle_.size() >= 2 && CpuHasAvx2();
#endif
}

std::size_t SubstringFinder::Find(std::string_view haystack, std::size_t from) const {
#if KALVERA_HAVE_AVX2_SEARCH
    if (useVectors_ && from <= haystack.size() && haystack.size() - from >= needle_.size()) {
        std::size_t rest = from;
        const std::size_t hit =
            FindCandidatesAvx2(haystack, needle_, guardIndex_, secondIndex_, from, rest);
        return hit != std::string_view::npos ? hit : FindWithMemchr(haystack, rest);
    }
#endif
    return FindWithMemchr(haystack, from);
}

std::size_t SubstringFinder::FindWithMemchr(std::string_view haystack, std::size_t from) const {
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
