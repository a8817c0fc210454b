#include "callbook_reader.h"

#include <cstring>
#include <memory>

#include "callbook_path.h"
#include "input_file.h"
#include "text_input.h"

namespace kalvera {
namespace {

// An open callbook, its text cut into lines, or why there is none.
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
        FillFirstBuffer();
        const std::string_view first = splitter_.Buffered();
        if (first.find(kLineFeed) == std::string_view::npos &&
            first.find(kCarriageReturn) != std::string_view::npos && !LineFeedFollows()) {
            splitter_.SetEnding(LineEnding::CarriageReturn);
        }
        summary_.encoding = text_->Encoding();
        summary_.lineEnding = splitter_.Ending();
    }

    bool Open() const { return text_ != nullptr; }
    LineEnding Ending() const { return splitter_.Ending(); }
    ScanSummary& Summary() { return summary_; }

    // The next block of lines, read as needed.
    LineBlock Next() {
        for (;;) {
            const LineBlock block = splitter_.Next();
            if (!block.text.empty() || block.droppedLines > 0 || block.end) {
                return block;
            }
            Refill();
        }
    }

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
    void Refill() {
        const std::span<char> space = splitter_.Space();
        const std::size_t got = text_->Read(space.data(), space.size());
        if (text_->Error()) {
            splitter_.Abandon();  // a line cut off by the failure is not a line
            ended_ = true;
        } else if (got == 0) {
            splitter_.End();
            ended_ = true;
        } else {
            splitter_.Commit(got);
        }
    }

    // The line ending is told from a full buffer, however little each read brings.
    void FillFirstBuffer() {
        while (!ended_ && splitter_.Space().size() >= TextInput::kMinCapacity) {
            Refill();
        }
    }

    // For a text whose first buffer holds CRs but no LF, to tell old Mac line ends from a long
    // first line: whether an LF follows anywhere. The rest of the text is read for it, and then
    // the text again from its start, from the same open file: a file renamed over this one
    // meanwhile (a download) is not read in the middle of the pass.
    bool LineFeedFollows() {
        if (ended_) {
            return false;
        }
        bool found = false;
        const auto buffer = std::make_unique_for_overwrite<char[]>(kReadChunkSize);
        for (std::size_t got; !found && (got = text_->Read(buffer.get(), kReadChunkSize)) > 0;) {
            found = std::memchr(buffer.get(), kLineFeed, got) != nullptr;
        }
        if (text_->Error() || !text_->Rewind()) {
            splitter_.Abandon();  // Finish reports the failed read
            return false;
        }
        splitter_ = LineSplitter();
        ended_ = false;
        FillFirstBuffer();
        return found;
    }

    ScanSummary summary_;
    std::unique_ptr<TextInput> text_;
    LineSplitter splitter_;
    bool ended_ = false;
};

// Hands every line of the pass to `onLine` (a CallbookLine), counting as it goes.
template <typename Handler>
ScanSummary EachLine(Pass& pass, const Handler& onLine) {
    if (!pass.Open()) {
        return pass.Summary();
    }
    ScanSummary& summary = pass.Summary();
    const LineEnding ending = pass.Ending();
    CallbookLine line;
    for (LineBlock block = pass.Next();; block = pass.Next()) {
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
        const bool stopped = EachLineOf(block.text, ending, [&](const SplitLine& split) {
            line = CallbookLine{split.text, ++summary.lines, split.overlong};
            summary.overlongLines += split.overlong ? 1 : 0;
            summary.linesWithSeveralCarriageReturns += split.severalCarriageReturns ? 1 : 0;
            return onLine(line);
        });
        if (stopped) {
            return pass.Finish(ScanResult::Stopped);
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
    const LineEnding ending = pass.Ending();
    const char endByte = EndByteOf(ending);
    for (LineBlock block = pass.Next(); !block.end; block = pass.Next()) {
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
            const std::string_view line =
                LineText(text.substr(lineStart, lineEnd - lineStart), ending, nullptr);
            if (line.size() > kMaxLineBytes) {
                continue;
            }
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
