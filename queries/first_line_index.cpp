#include "first_line_index.h"

#include <functional>

namespace kalvera {

std::uint64_t FirstLineIndex::FirstLine(std::string_view text, std::uint64_t line) {
    if ((size_ + 1) * 2 > slots_.size()) {
        Grow();
    }
    const std::uint64_t hash = std::hash<std::string_view>{}(text);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (slot.line == 0) {
            slot = Slot{hash, line, text_.size(), text.size()};
            text_.append(text);
            ++size_;
            return line;
        }
        if (slot.hash == hash && std::string_view(text_).substr(slot.offset, slot.length) == text) {
            return slot.line;
        }
    }
}

void FirstLineIndex::Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.line == 0) {
            continue;
        }
        std::size_t i = slot.hash & mask;
        while (slots_[i].line != 0) {
            i = (i + 1) & mask;
        }
        slots_[i] = slot;
    }
}

}  // namespace kalvera
