#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

// Remembers the first line on which each distinct text stood: an open-addressing table over
// one block of text, so a million callsigns cost two allocations that grow, not a million,
// and about 30 bytes each besides their text.
class FirstLineIndex {
  public:
    // The line on which `text` first stood; records `line` (never 0) for it when it is new.
    // Texts are at most 65535 bytes, as every line is.
    std::uint64_t FirstLine(std::string_view text, std::uint64_t line);

    std::size_t Size() const { return size_; }

  private:
    struct Slot {
        std::uint64_t offset = 0;  // of the text's length, then its bytes, in text_
        std::uint64_t line = 0;    // 0: empty
    };

    std::string_view TextAt(std::uint64_t offset) const;
    void Grow();

    std::vector<Slot> slots_;
    std::string text_;
    std::size_t size_ = 0;
};

}  // namespace kalvera
