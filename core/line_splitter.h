#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "callbook_format.h"

namespace kalvera {

// Bytes of text the reader takes from the file per step, and the size of a splitter's buffer.
// Memory stays at this size whatever the file holds.
inline constexpr std::size_t kReadChunkSize = 256 * 1024;

struct LineBlock {
    // Whole lines, each followed by its line-end byte; only the text's last line may lack it.
    std::string_view text;
    // Lines whose text was longer than kMaxLineBytes, dropped unread before `text`.
    std::uint64_t droppedLines = 0;
    bool end = false;  // the text has ended: nothing follows
};

// Cuts text into lines as the callbook format says (callbook_format.h), handing them out as
// blocks of whole lines from one buffer, whose size bounds memory whatever the text holds: a
// line whose text outgrows kMaxLineBytes is dropped as it streams by, and only counted. The
// reader pulls text into it from a file (Space, Commit); the download's content check pushes
// the body into it (Append). Either way the same lines come out.
class LineSplitter {
  public:
    explicit LineSplitter(LineEnding ending = LineEnding::LineFeed,
                          std::size_t capacity = kReadChunkSize);

    LineEnding Ending() const { return ending_; }
    char EndByte() const { return EndByteOf(ending_); }
    // Only before the first Next, for a reader that tells the line ending from the first text.
    void SetEnding(LineEnding ending) { ending_ = ending; }

    // Room for more text: all but 2 * kMaxLineBytes + 2 bytes of the capacity (at least
    // 3 * kMaxLineBytes) once Next has asked for more.
    std::span<char> Space();
    // `bytes` of text were written into Space().
    void Commit(std::size_t bytes);
    // The text has ended.
    void End();
    // The text has ended where it is, in the middle of a line that is therefore no line: a
    // read failed.
    void Abandon();
    // What was committed and not yet handed out.
    std::string_view Buffered() const;

    // The next block. Empty text without `end`: more text is needed; `droppedLines` counts
    // nevertheless.
    LineBlock Next();

    // Copies `text` in, handing each block it completes to `onBlock`.
    template <typename OnBlock>
    void Append(std::string_view text, const OnBlock& onBlock) {
        while (!text.empty()) {
            const std::span<char> space = Space();
            const std::size_t take = std::min(space.size(), text.size());
            std::memcpy(space.data(), text.data(), take);
            Commit(take);
            text.remove_prefix(take);
            Drain(onBlock);
        }
    }

    // What End would hand out as the last line, without ending: the text after the last whole
    // line, with its CRs, once every block has been taken.
    struct Pending {
        std::string_view raw;
        bool overlong = false;  // being dropped
        // The raw text ends in a run of CRs that stands for more than kMaxLineBytes of them:
        // line end if an LF follows, and otherwise too long a line.
        bool crsBeyondLimit = false;
    };
    Pending PendingLine() const;

  private:
    template <typename OnBlock>
    void Drain(const OnBlock& onBlock) {
        for (LineBlock block = Next(); !block.text.empty() || block.droppedLines > 0 || block.end;
             block = Next()) {
            onBlock(block);
            if (block.end) {
                return;
            }
        }
    }

    // Takes the bytes committed since the last look into the pending line's count of CRs at
    // its end, so that each byte is looked at once however the text comes in.
    void ScanPending();
    // The bytes of the pending line's text: without the CRs at its end, which are line end if
    // an LF follows.
    std::size_t PendingTextBytes() const;
    // Keeps an LF-cut pending line's CR run within bounds.
    void CollapseCarriageReturns();
    // After a collapsed CR run: whether the text that followed ends the line or makes it too
    // long; false while only more CRs came.
    bool SettleCollapsedRun();

    std::unique_ptr<char[]> buffer_;  // not cleared first: only what was committed is read
    std::size_t capacity_;
    LineEnding ending_;
    std::size_t start_ = 0;  // not handed out yet: [start_, end_)
    std::size_t end_ = 0;
    std::size_t scanned_ = 0;      // [start_, scanned_) holds no line end
    std::size_t trailingCrs_ = 0;  // LF ends: the CRs that end [start_, scanned_)
    bool ended_ = false;
    bool skipping_ = false;      // inside a dropped line, until its end
    bool crsCollapsed_ = false;  // see Pending::crsBeyondLimit
};

// The text of one line, without its line end (`raw` holds no end byte): for LF ends, the CRs
// at its end belong to the line end. `crs` receives how many there were.
inline std::string_view LineText(std::string_view raw, LineEnding ending, std::size_t* crs) {
    std::size_t count = 0;
    if (ending == LineEnding::LineFeed) {
        while (count < raw.size() && raw[raw.size() - 1 - count] == kCarriageReturn) {
            ++count;
        }
    }
    if (crs != nullptr) {
        *crs = count;
    }
    return raw.substr(0, raw.size() - count);
}

// One line of a block, as every reader sees it.
struct SplitLine {
    std::string_view text;                // without its line end; empty when overlong
    bool overlong = false;                // its text is longer than kMaxLineBytes; never handed on
    bool severalCarriageReturns = false;  // ended by CR CR LF or more CRs
};

// Hands each line of `block` to `onLine` in order, until `onLine` returns true (then returns
// true too).
template <typename OnLine>
bool EachLineOf(std::string_view block, LineEnding ending, const OnLine& onLine) {
    const char endByte = EndByteOf(ending);
    SplitLine line;
    for (std::size_t pos = 0; pos < block.size();) {
        const void* found = std::memchr(block.data() + pos, endByte, block.size() - pos);
        const std::size_t stop =
            found ? static_cast<std::size_t>(static_cast<const char*>(found) - block.data())
                  : block.size();
        std::size_t crs = 0;
        line.text = LineText(block.substr(pos, stop - pos), ending, &crs);
        line.overlong = line.text.size() > kMaxLineBytes;
        line.severalCarriageReturns = !line.overlong && crs > 1 && found != nullptr;
        if (line.overlong) {
            line.text = {};
        }
        pos = stop + 1;
        if (onLine(line)) {
            return true;
        }
    }
    return false;
}

}  // namespace kalvera
