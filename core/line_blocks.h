#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "callbook_format.h"
#include "text_input.h"

namespace kalvera {

struct LineBlock {
    // Whole lines, each followed by its line-end byte; only the file's last line may lack it.
    std::string_view text;
    // Lines longer than kMaxLineBytes that came before `text` and were dropped unread.
    std::uint64_t droppedLines = 0;
    bool end = false;  // nothing follows
};

// Hands out the text as consecutive blocks of whole lines, in one buffer of kReadChunkSize
// bytes whatever the file holds: a line that outgrows kMaxLineBytes before its end is
// dropped as it streams by, and only counted.
class LineBlocks {
  public:
    // Reads the first chunk to tell the line ending. `restHasLineFeed` is asked only when
    // that chunk holds a CR but no LF.
    LineBlocks(TextInput& in, const std::function<bool()>& restHasLineFeed);

    LineEnding Ending() const { return ending_; }
    char EndByte() const { return ending_ == LineEnding::LineFeed ? '\n' : '\r'; }

    LineBlock Next();

  private:
    void Refill();

    TextInput& in_;
    std::vector<char> buffer_;
    LineEnding ending_ = LineEnding::LineFeed;
    std::size_t start_ = 0;  // unconsumed bytes are [start_, end_)
    std::size_t end_ = 0;
    std::size_t scanned_ = 0;  // [start_, scanned_) holds no line end
    bool atEnd_ = false;
    bool skipping_ = false;  // inside a dropped line, until its end
};

}  // namespace kalvera
