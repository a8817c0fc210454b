#include "first_line_index.h"

#include <functional>

namespace kalvera {
namespace {

std::size_t HashOf(std::string_view text) {
    return std::hash<std::string_view>{}(text);
}

}  // namespace

std::string_view FirstLineIndex::TextAt(std::uint64_t offset) const {
    const auto length =
        static_cast<std::size_t>(static_cast<unsigned char>(text_[offset]) |
                                 static_cast<unsigned char>(text_[offset + 1]) << 8);
    return std::string_view(text_).substr(offset + 2, length);
}

std::uint64_t FirstLineIndex::FirstLine(std::string_view text, std::uint64_t line) {
    // At most seven slots in ten are used, so a search ends after a few probes.
    if ((size_ + 1) * 10 > slots_.size() * 7) {
        Grow();
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = HashOf(text) & mask;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (slot.line == 0) {
            slot = Slot{text_.size(), line};
            text_.push_back(static_cast<char>(text.size() & 0xFF));
            text_.push_back(static_cast<char>(text.size() >> 8 & 0xFF));
            text_.append(text);
            ++size_;
            return line;
        }
        if (TextAt(slot.offset) == text) {
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
        std::size_t i = HashOf(TextAt(slot.offset)) & mask;
        while (slots_[i].line != 0) {
            i = (i + 1) & mask;
        }
        slots_[i] = slot;
    }
}

}  // namespace kalvera
