#include "line_blocks.h"

#include <cstring>

#include "callbook_reader.h"

namespace kalvera {

LineBlocks::LineBlocks(TextInput& in, const std::function<bool()>& restHasLineFeed)
    : in_(in), buffer_(kReadChunkSize) {
    Refill();
    const std::string_view first(buffer_.data(), end_);
    if (first.find('\n') == std::string_view::npos && first.find('\r') != std::string_view::npos &&
        !restHasLineFeed()) {
        ending_ = LineEnding::CarriageReturn;
    }
}

void LineBlocks::Refill() {
    if (start_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
        end_ -= start_;
        scanned_ -= start_;
        start_ = 0;
    }
    // The carried part of a line is at most kMaxLineBytes, so most of the buffer is free.
    const std::size_t got = in_.Read(buffer_.data() + end_, buffer_.size() - end_);
    atEnd_ = got == 0;
    end_ += got;
    if (in_.Error()) {
        start_ = scanned_ = end_;  // a line cut off by the failure is not a line
    }
}

LineBlock LineBlocks::Next() {
    const char endByte = EndByte();
    LineBlock block;
    for (;;) {
        if (skipping_) {
            const void* found = std::memchr(buffer_.data() + start_, endByte, end_ - start_);
            if (found == nullptr) {
                start_ = end_ = scanned_ = 0;
                if (atEnd_) {
                    skipping_ = false;
                    ++block.droppedLines;
                    block.end = true;
                    return block;
                }
                Refill();
                continue;
            }
            skipping_ = false;
            ++block.droppedLines;
            start_ = scanned_ =
                static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data()) + 1;
        }
        std::size_t last = end_;
        while (last > scanned_ && buffer_[last - 1] != endByte) {
            --last;
        }
        if (last > scanned_) {
            block.text = std::string_view(buffer_.data() + start_, last - start_);
            start_ = scanned_ = last;
            return block;
        }
        scanned_ = end_;
        if (end_ - start_ > kMaxLineBytes) {
            skipping_ = true;
            start_ = end_ = scanned_ = 0;
            continue;
        }
        if (atEnd_) {
            if (end_ > start_) {
                block.text = std::string_view(buffer_.data() + start_, end_ - start_);
                start_ = scanned_ = end_;
                return block;
            }
            block.end = true;
            return block;
        }
        Refill();
    }
}

}  // namespace kalvera
