#include "callbook_reader.h"

#include <cstring>
#include <memory>

#include "callbook_path.h"
#include "input_file.h"

namespace kalvera {
namespace {

// An open callbook with its text and line blocks, or why there is none.
class Pass {
  public:
    explicit Pass(const std::filesystem::path& file) {
        if (!CallbookExists(file)) {
            summary_.result = ScanResult::FileMissing;
            return;
        }
        std::error_code error;
        std::unique_ptr<InputFile> input = OpenInputFile(file, error);
        if (!input) {
            summary_.result = ScanResult::FileMissing;
            summary_.error = error.message();
            return;
        }
        text_ = std::make_unique<TextInput>(std::move(input));
        blocks_ = std::make_unique<LineBlocks>(*text_, [&file] { return HasLineFeed(file); });
        summary_.encoding = text_->Encoding();
        summary_.lineEnding = blocks_->Ending();
    }

    bool Open() const { return blocks_ != nullptr; }
    LineBlocks& Blocks() { return *blocks_; }
    ScanSummary& Summary() { return summary_; }

    // The summary once the pass has ended with `result`. A failed read outranks reaching the
    // end, but not a handler that had finished before it.
    ScanSummary Finish(ScanResult result) {
        summary_.result = result;
        if (result == ScanResult::Completed && text_ && text_->Error()) {
            summary_.result = ScanResult::ReadError;
            summary_.error = text_->Error().message();
        }
        return summary_;
    }

  private:
    // Whether the text holds an LF anywhere; read only for a file that starts with CRs but
    // no LF, to tell old Mac line ends from a long first line.
    static bool HasLineFeed(const std::filesystem::path& file) {
        std::error_code error;
        std::unique_ptr<InputFile> input = OpenInputFile(file, error);
        if (!input) {
            return false;
        }
        TextInput text(std::move(input));
        std::vector<char> buffer(kReadChunkSize);
        for (std::size_t got; (got = text.Read(buffer.data(), buffer.size())) > 0;) {
            if (std::memchr(buffer.data(), '\n', got) != nullptr) {
                return true;
            }
        }
        return false;
    }

    ScanSummary summary_;
    std::unique_ptr<TextInput> text_;
    std::unique_ptr<LineBlocks> blocks_;
};

// The text of the raw line `raw` (its line-end byte excluded): with LF endings the CRs just
// before the LF belong to the line end.
std::string_view LineText(std::string_view raw, LineEnding ending, std::size_t* droppedCrs) {
    std::size_t crs = 0;
    if (ending == LineEnding::LineFeed) {
        while (crs < raw.size() && raw[raw.size() - 1 - crs] == '\r') {
            ++crs;
        }
    }
    if (droppedCrs != nullptr) {
        *droppedCrs = crs;
    }
    return raw.substr(0, raw.size() - crs);
}

// Hands every line of the pass to `onLine` (a CallbookLine), counting as it goes.
template <typename Handler>
ScanSummary EachLine(Pass& pass, const Handler& onLine) {
    if (!pass.Open()) {
        return pass.Summary();
    }
    ScanSummary& summary = pass.Summary();
    LineBlocks& blocks = pass.Blocks();
    const char endByte = blocks.EndByte();
    const LineEnding ending = blocks.Ending();
    CallbookLine line;
    for (LineBlock block = blocks.Next();; block = blocks.Next()) {
        for (std::uint64_t i = 0; i < block.droppedLines; ++i) {
            ++summary.overlongLines;
            line = CallbookLine{{}, ++summary.lines, true};
            if (onLine(line)) {
                return pass.Finish(ScanResult::Stopped);
            }
        }
        if (block.end) {
            break;
        }
        const std::string_view text = block.text;
        std::size_t pos = 0;
        while (pos < text.size()) {
            const void* found = std::memchr(text.data() + pos, endByte, text.size() - pos);
            const std::size_t stop =
                found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data())
                      : text.size();
            const std::string_view raw = text.substr(pos, stop - pos);
            pos = stop + 1;
            line.number = ++summary.lines;
            line.overlong = raw.size() > kMaxLineBytes;
            if (line.overlong) {
                ++summary.overlongLines;
                line.text = {};
            } else {
                std::size_t crs = 0;
                line.text = LineText(raw, ending, &crs);
                if (crs > 1 && found != nullptr) {
                    ++summary.linesWithSeveralCarriageReturns;
                }
            }
            if (onLine(line)) {
                return pass.Finish(ScanResult::Stopped);
            }
        }
    }
    return pass.Finish(ScanResult::Completed);
}

}  // namespace

ScanSummary ScanCallbook(const std::filesystem::path& file,
                         const std::function<bool(const CallbookLine&)>& onLine) {
    Pass pass(file);
    return EachLine(pass, onLine);
}

ScanSummary ReadCallbook(const std::filesystem::path& file, const LineHandler& onLine) {
    Pass pass(file);
    return EachLine(
        pass, [&onLine](const CallbookLine& line) { return !line.overlong && onLine(line.text); });
}

ScanSummary ReadCallbookLinesContaining(const std::filesystem::path& file,
                                        const SubstringFinder& key, const LineHandler& onLine) {
    Pass pass(file);
    if (!pass.Open()) {
        return pass.Summary();
    }
    LineBlocks& blocks = pass.Blocks();
    const char endByte = blocks.EndByte();
    for (LineBlock block = blocks.Next(); !block.end; block = blocks.Next()) {
        const std::string_view text = block.text;
        std::size_t from = 0;
        while (from < text.size()) {
            const std::size_t hit = key.Find(text, from);
            if (hit == std::string_view::npos) {
                break;
            }
            std::size_t lineStart = hit;
            while (lineStart > from && text[lineStart - 1] != endByte) {
                --lineStart;
            }
            const std::size_t found = text.find(endByte, hit);
            const std::size_t lineEnd = found == std::string_view::npos ? text.size() : found;
            from = lineEnd + 1;
            const std::string_view raw = text.substr(lineStart, lineEnd - lineStart);
            if (raw.size() > kMaxLineBytes) {
                continue;
            }
            const std::string_view line = LineText(raw, blocks.Ending(), nullptr);
            // A key that ends in CR can have matched only this line's line end, which is not
            // part of the line.
            if (hit + key.Needle().size() <= lineStart + line.size() && onLine(line)) {
                return pass.Finish(ScanResult::Stopped);
            }
        }
    }
    return pass.Finish(ScanResult::Completed);
}

}  // namespace kalvera
