#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kalvera {

// Finds a fixed byte string in large buffers at memchr speed. It picks the needle byte that
// is least likely in a callbook (the prefix "QV27" is on every line, lower-case letters and
// blanks are everywhere), jumps between occurrences of that byte with memchr, and only then
// compares the whole needle. Letter case is respected.
class SubstringFinder {
  public:
    explicit SubstringFinder(std::string needle);

    const std::string& Needle() const { return needle_; }

    // Position of the first occurrence in `haystack` at or after `from`, or npos.
    std::size_t Find(std::string_view haystack, std::size_t from = 0) const;

  private:
    std::string needle_;
    std::size_t guardIndex_ = 0;
};

}  // namespace kalvera
