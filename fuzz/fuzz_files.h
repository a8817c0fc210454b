#pragma once

// What the reader's fuzz targets share: callbook files made from an input's bytes in the
// shapes editors save, and a reader that reads them from memory through the InputFile seam,
// so that no input touches the disk.

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/input_file.h"
#include "fuzz_support.h"

namespace kalvera::fuzz {

// The longest text a shaped file gets: room for a line past the limit and a run of CRs as
// long, and lines after them. (Short reads, not long files, take the reader past the end of
// its buffer.)
inline constexpr std::size_t kMaxBodyBytes = 96 * 1024;

// A file in memory, read in pieces of at most `most` bytes, as a slow network share hands
// them out.
class MemoryFile : public InputFile {
  public:
    MemoryFile(std::string_view bytes, std::size_t most)
        : all_(bytes), bytes_(bytes), most_(most) {}
    std::size_t Read(char* buffer, std::size_t size, std::error_code&) override {
        const std::size_t count = std::min({size, most_, bytes_.size()});
        std::copy_n(bytes_.data(), count, buffer);
        bytes_.remove_prefix(count);
        return count;
    }
    bool Rewind(std::error_code&) override {
        bytes_ = all_;
        return true;
    }

  private:
    std::string_view all_;
    std::string_view bytes_;
    std::size_t most_;
};

// While alive, every file the reader opens is `bytes`. The path handed to the reader must
// still pass its existence test: Path() is this very program.
class ServedFromMemory {
  public:
    ServedFromMemory(std::string_view bytes, std::size_t readSize) {
        SetInputFileOpenerForTesting(
            [bytes, readSize](const std::filesystem::path&, std::error_code&) {
                return std::make_unique<MemoryFile>(bytes, readSize);
            });
    }
    ~ServedFromMemory() { SetInputFileOpenerForTesting({}); }
    ServedFromMemory(const ServedFromMemory&) = delete;
    ServedFromMemory& operator=(const ServedFromMemory&) = delete;

    static std::filesystem::path Path() { return "/proc/self/exe"; }
};

// 0x01 n b in the body stands for n KiB of byte b (lines past the limit and past the read
// chunk without large inputs); for a CR or LF, n bytes, since a run of line ends only makes
// many empty lines, slowly.
inline std::string ExpandRuns(std::string_view body) {
    std::string out;
    for (std::size_t i = 0; i < body.size();) {
        const std::size_t run = std::min(body.find('\x01', i), body.size());
        out.append(body.substr(i, run - i));
        i = run;
        if (i + 2 < body.size()) {
            const char byte = body[i + 2];
            const std::size_t count = static_cast<unsigned char>(body[i + 1]) *
                                      (byte == '\n' || byte == '\r' ? 1 : std::size_t{1024});
            out.append(std::min(count, kMaxBodyBytes - std::min(out.size(), kMaxBodyBytes)), byte);
            i += 3;
        } else if (i < body.size()) {
            out.append(body.substr(i));
            break;
        }
    }
    return out;
}

inline std::string ReplaceLineFeeds(std::string_view body, std::string_view by) {
    if (by == "\n") {
        return std::string(body);
    }
    std::string out;
    out.reserve(body.size() + body.size() / 8 * by.size());
    for (std::size_t i = 0; i < body.size();) {
        const std::size_t lf = std::min(body.find('\n', i), body.size());
        out.append(body.substr(i, lf - i));
        if (lf < body.size()) {
            out.append(by);
        }
        i = lf + 1;
    }
    return out;
}

inline void PutUnit(std::string& out, char16_t unit, bool littleEndian) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    out.push_back(littleEndian ? low : high);
    out.push_back(littleEndian ? high : low);
}

// A callbook file made from `body` in the shape that `shape` picks:
//   bits 0-1  encoding: as is, UTF-8 mark first, UTF-16 little-endian, UTF-16 big-endian
//   bits 2-3  each LF in the body becomes: LF, CR LF, CR, CR CR LF
//   bit 4     runs: the body's runs are expanded (ExpandRuns)
//   bit 5     UTF-16 only: the body's bytes are the code units as they are, not UTF-8 to
//             encode
// `utf8Body` receives the text the file must read as, when it was encoded from UTF-8.
inline std::string ShapedFile(unsigned shape, std::string body,
                              std::optional<std::string>* utf8Body = nullptr) {
    if (shape & 16) {
        body = ExpandRuns(body);
    }
    static constexpr std::string_view kLineEnds[] = {"\n", "\r\n", "\r", "\r\r\n"};
    body = ReplaceLineFeeds(body, kLineEnds[(shape >> 2) & 3]);
    switch (shape & 3) {
        case 0:
            return body;
        case 1:
            return "\xEF\xBB\xBF" + body;
        default:
            break;
    }
    const bool little = (shape & 3) == 2;
    std::string file = little ? "\xFF\xFE" : "\xFE\xFF";
    if ((shape & 32) != 0 || !IsWellFormedUtf8(body)) {
        return file + body;
    }
    for (char32_t code : CodePoints(body)) {
        if (code >= 0x10000) {
            PutUnit(file, static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)), little);
            PutUnit(file, static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)), little);
        } else {
            PutUnit(file, static_cast<char16_t>(code), little);
        }
    }
    if (utf8Body != nullptr) {
        *utf8Body = body;
    }
    return file;
}

}  // namespace kalvera::fuzz
