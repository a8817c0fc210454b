#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

// Remembers the first line on which each distinct text stood: an open-addressing table over
// one block of text, so a million callsigns cost two allocations that grow, not a million.
class FirstLineIndex {
  public:
    // The line on which `text` first stood; records `line` for it when it is new.
    std::uint64_t FirstLine(std::string_view text, std::uint64_t line);

    std::size_t Size() const { return size_; }

  private:
    struct Slot {
        std::uint64_t hash = 0;
        std::uint64_t line = 0;  // 0: empty
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
    };

    void Grow();

    std::vector<Slot> slots_;
    std::string text_;
    std::size_t size_ = 0;
};

}  // namespace kalvera
