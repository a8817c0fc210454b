#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kalvera {

// Finds a fixed byte string in large buffers at memory speed. It picks the two needle bytes
// that are least likely in a callbook (the prefix "QV27" is on every line, lower-case letters
// and blanks are everywhere) and compares the whole needle only where both stand at their
// offsets: 32 positions at a time with AVX2 where the processor has it, otherwise by jumping
// between occurrences of the rarer byte with memchr. Letter case is respected.
class SubstringFinder {
  public:
    enum class Strategy {
        Fastest,  // AVX2 where the processor has it
        Memchr,   // the portable path on every machine, for tests that must cover it
    };

    explicit SubstringFinder(std::string needle, Strategy strategy = Strategy::Fastest);

    const std::string& Needle() const { return needle_; }
    // Whether Find compares 32 positions at a time; the buffer's tail is always left to memchr.
    bool UsesVectors() const { return useVectors_; }

    // Position of the first occurrence in `haystack` at or after `from`, or npos.
    std::size_t Find(std::string_view haystack, std::size_t from = 0) const;

  private:
    std::size_t FindWithMemchr(std::string_view haystack, std::size_t from) const;

    std::string needle_;
    std::size_t guardIndex_ = 0;   // the rarest byte
    std::size_t secondIndex_ = 0;  // the next rarest, at another offset where there is one
    bool useVectors_ = false;
};

}  // namespace kalvera
