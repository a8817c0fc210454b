#include "callbook_reader.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "callbook_path.h"
#include "display_text.h"

namespace kalvera {
namespace {

std::string_view WithoutCarriageReturn(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

std::size_t FindLastNewline(const char* data, std::size_t from, std::size_t to) {
    for (std::size_t i = to; i > from; --i) {
        if (data[i - 1] == '\n') {
            return i - 1;
        }
    }
    return std::string_view::npos;
}

bool OpenForReading(const std::filesystem::path& file, std::ifstream& in) {
    if (!CallbookExists(file)) {
        return false;
    }
    // Unbuffered: every read is a large one straight into our own buffer.
    in.rdbuf()->pubsetbuf(nullptr, 0);
    in.open(file, std::ios::binary);
    if (!in.is_open()) {
        return false;
    }
    // A UTF-8 byte-order mark, as some editors write, is not part of the first line: the
    // callsign or region there must still match.
    char head[kUtf8ByteOrderMark.size()] = {};
    in.read(head, sizeof head);
    const bool byteOrderMark =
        std::string_view(head, static_cast<std::size_t>(in.gcount())) == kUtf8ByteOrderMark;
    in.clear();
    in.seekg(byteOrderMark ? static_cast<std::streamoff>(sizeof head) : 0);
    return true;
}

// Hands out the file as consecutive blocks of whole lines: each block ends just after an LF,
// except the last, which ends at the end of the file.
class LineBlocks {
  public:
    explicit LineBlocks(std::ifstream& in) : in_(in), buffer_(kReadChunkSize) {}

    // The next block, or an empty view at the end of the file (or on a read error).
    std::string_view Next() {
        if (carryStart_ > 0) {
            std::memmove(buffer_.data(), buffer_.data() + carryStart_, carryLength_);
            carryStart_ = 0;
        }
        for (;;) {
            if (carryLength_ == buffer_.size()) {
                buffer_.resize(buffer_.size() * 2);  // one line longer than the buffer
            }
            const std::size_t before = carryLength_;
            std::size_t got = 0;
            if (!atEnd_) {
                in_.read(buffer_.data() + before,
                         static_cast<std::streamsize>(buffer_.size() - before));
                got = static_cast<std::size_t>(in_.gcount());
                atEnd_ = got == 0 || !in_;
            }
            carryLength_ += got;
            if (atEnd_) {
                const std::string_view rest(buffer_.data(), carryLength_);
                carryLength_ = 0;
                return rest;
            }
            // Bytes carried over hold no LF, so only the new ones need looking at.
            const std::size_t newline = FindLastNewline(buffer_.data(), before, carryLength_);
            if (newline != std::string_view::npos) {
                carryStart_ = newline + 1;
                carryLength_ -= carryStart_;
                return {buffer_.data(), carryStart_};
            }
        }
    }

  private:
    std::ifstream& in_;
    std::vector<char> buffer_;
    std::size_t carryStart_ = 0;
    std::size_t carryLength_ = 0;
    bool atEnd_ = false;
};

}  // namespace

ScanResult ReadCallbook(const std::filesystem::path& file, const LineHandler& onLine) {
    std::ifstream in;
    if (!OpenForReading(file, in)) {
        return ScanResult::FileMissing;
    }
    LineBlocks blocks(in);
    for (std::string_view block = blocks.Next(); !block.empty(); block = blocks.Next()) {
        std::size_t pos = 0;
        while (pos < block.size()) {
            const void* newline = std::memchr(block.data() + pos, '\n', block.size() - pos);
            const std::size_t end =
                newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - block.data())
                        : block.size();
            if (onLine(WithoutCarriageReturn(block.substr(pos, end - pos)))) {
                return ScanResult::Stopped;
            }
            pos = end + 1;
        }
    }
    return ScanResult::Completed;
}

ScanResult ReadCallbookLinesContaining(const std::filesystem::path& file,
                                       const SubstringFinder& key, const LineHandler& onLine) {
    std::ifstream in;
    if (!OpenForReading(file, in)) {
        return ScanResult::FileMissing;
    }
    LineBlocks blocks(in);
    for (std::string_view block = blocks.Next(); !block.empty(); block = blocks.Next()) {
        std::size_t from = 0;
        for (;;) {
            const std::size_t hit = key.Find(block, from);
            if (hit == std::string_view::npos) {
                break;
            }
            const std::size_t lineStart = [&] {
                std::size_t i = hit;
                while (i > from && block[i - 1] != '\n') {
                    --i;
                }
                return i;
            }();
            const std::size_t newline = block.find('\n', hit);
            const std::size_t lineEnd = newline == std::string_view::npos ? block.size() : newline;
            const std::string_view line =
                WithoutCarriageReturn(block.substr(lineStart, lineEnd - lineStart));
            // A key ending in CR can have matched only this line's terminator, which is not
            // part of the line.
            if (hit + key.Needle().size() <= lineStart + line.size() && onLine(line)) {
                return ScanResult::Stopped;
            }
            from = lineEnd + 1;
            if (from >= block.size()) {
                break;
            }
        }
    }
    return ScanResult::Completed;
}

LastMatchingLine FindLastLineContaining(const std::filesystem::path& file,
                                        std::string_view needle) {
    std::ifstream in;
    if (!OpenForReading(file, in)) {
        return {ScanResult::FileMissing, std::nullopt};
    }
    const std::streamoff begin = in.tellg();  // after a byte-order mark
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= begin) {
        return {};
    }
    const SubstringFinder finder{std::string(needle)};
    // `data` holds the bytes from `readStart` up to the start of the region already searched.
    // Its head, up to its first LF, may be the tail of a line that begins further back.
    std::vector<char> data;
    std::streamoff readStart = size;
    while (readStart > begin) {
        const std::streamoff step =
            std::max<std::streamoff>(kReadChunkSize, static_cast<std::streamoff>(data.size()));
        const std::streamoff chunk = std::min(step, readStart - begin);
        readStart -= chunk;
        data.insert(data.begin(), static_cast<std::size_t>(chunk), '\0');
        in.seekg(readStart);
        in.read(data.data(), chunk);
        if (in.gcount() != chunk) {
            return {};  // the file shrank or failed under us: report no version
        }
        const std::string_view view(data.data(), data.size());
        std::size_t wholeFrom = 0;
        if (readStart > begin) {
            const std::size_t firstNewline = view.find('\n');
            if (firstNewline == std::string_view::npos) {
                continue;  // still inside one long line
            }
            wholeFrom = firstNewline + 1;
        }
        std::size_t hit = view.size();
        while (hit > wholeFrom) {
            hit = view.rfind(finder.Needle(), hit - 1);
            if (hit == std::string_view::npos || hit < wholeFrom) {
                break;
            }
            const std::size_t before = view.rfind('\n', hit);
            const std::size_t lineStart = before == std::string_view::npos ? 0 : before + 1;
            const std::size_t after = view.find('\n', hit);
            const std::size_t lineEnd = after == std::string_view::npos ? view.size() : after;
            const std::string_view line =
                WithoutCarriageReturn(view.substr(lineStart, lineEnd - lineStart));
            if (hit + needle.size() <= lineStart + line.size()) {
                return {ScanResult::Completed, std::string(line)};
            }
        }
        data.resize(wholeFrom);
    }
    return {};
}

}  // namespace kalvera
