#include "line_splitter.h"

#include <algorithm>

namespace kalvera {

LineSplitter::LineSplitter(LineEnding ending, std::size_t capacity)
    : buffer_(std::make_unique_for_overwrite<char[]>(std::max(capacity, 3 * kMaxLineBytes))),
      capacity_(std::max(capacity, 3 * kMaxLineBytes)),
      ending_(ending) {}

std::span<char> LineSplitter::Space() {
    if (start_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + start_, end_ - start_);
        end_ -= start_;
        scanned_ -= start_;
        start_ = 0;
    }
    return std::span<char>(buffer_.get() + end_, capacity_ - end_);
}

void LineSplitter::Commit(std::size_t bytes) {
    end_ += bytes;
}

void LineSplitter::End() {
    ended_ = true;
}

void LineSplitter::Abandon() {
    start_ = end_ = scanned_ = trailingCrs_ = 0;
    skipping_ = crsCollapsed_ = false;
    ended_ = true;
}

std::string_view LineSplitter::Buffered() const {
    return std::string_view(buffer_.get() + start_, end_ - start_);
}

void LineSplitter::ScanPending() {
    if (ending_ == LineEnding::LineFeed) {
        std::size_t at = end_;
        while (at > scanned_ && buffer_[at - 1] == kCarriageReturn) {
            --at;
        }
        trailingCrs_ = at == scanned_ ? trailingCrs_ + (end_ - scanned_) : end_ - at;
    }
    scanned_ = end_;
}

std::size_t LineSplitter::PendingTextBytes() const {
    return end_ - start_ - trailingCrs_;
}

void LineSplitter::CollapseCarriageReturns() {
    if (trailingCrs_ > kMaxLineBytes) {
        // Two stand for them all: the line's text and whether its line end has several CRs
        // come out the same, and SettleCollapsedRun knows that there were many.
        end_ -= trailingCrs_ - 2;
        scanned_ = end_;
        trailingCrs_ = 2;
        crsCollapsed_ = true;
    }
}

bool LineSplitter::SettleCollapsedRun() {
    std::size_t at = scanned_;
    while (at < end_ && buffer_[at] == kCarriageReturn) {
        ++at;
    }
    if (at == end_) {
        end_ = scanned_;  // more of the run
        return false;
    }
    crsCollapsed_ = false;
    if (buffer_[at] != kLineFeed) {
        // The CRs were data after all: the line is longer than any line may be.
        skipping_ = true;
        start_ = scanned_ = at;
        trailingCrs_ = 0;
    }
    return true;
}

LineBlock LineSplitter::Next() {
    const char endByte = EndByte();
    LineBlock block;
    for (;;) {
        if (crsCollapsed_ && !SettleCollapsedRun() && !ended_) {
            return block;
        }
        if (skipping_) {
            const void* found = std::memchr(buffer_.get() + start_, endByte, end_ - start_);
            if (found == nullptr) {
                start_ = end_ = scanned_ = trailingCrs_ = 0;
                if (ended_) {
                    skipping_ = false;
                    ++block.droppedLines;
                    block.end = true;
                }
                return block;
            }
            skipping_ = false;
            ++block.droppedLines;
            start_ = scanned_ =
                static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.get()) + 1;
        }
        std::size_t last = end_;
        while (last > scanned_ && buffer_[last - 1] != endByte) {
            --last;
        }
        if (last > scanned_) {
            block.text = std::string_view(buffer_.get() + start_, last - start_);
            start_ = scanned_ = last;
            trailingCrs_ = 0;
            return block;
        }
        ScanPending();
        if (PendingTextBytes() > kMaxLineBytes) {
            skipping_ = true;
            start_ = end_ = scanned_ = trailingCrs_ = 0;
            continue;
        }
        CollapseCarriageReturns();
        if (ended_) {
            if (end_ > start_) {
                block.text = std::string_view(buffer_.get() + start_, end_ - start_);
                start_ = scanned_ = end_;
                trailingCrs_ = 0;
                crsCollapsed_ = false;
            } else {
                block.end = true;
            }
        }
        return block;
    }
}

LineSplitter::Pending LineSplitter::PendingLine() const {
    if (skipping_) {
        return {{}, true, false};
    }
    return {Buffered(), false, crsCollapsed_};
}

}  // namespace kalvera
