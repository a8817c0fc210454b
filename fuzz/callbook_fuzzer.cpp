// A callbook file read every way the program reads one. The reader's full scan, plain reading
// and keyed pass on both search paths, and the download's content check fed the bytes in
// chunks cut anywhere (of a few bytes, or of many), must see the same lines, numbered alike,
// whatever the bytes, encoding and line ends; the check must judge the body the same however
// it is cut. The data keepers' check gets each line too, under the sanitizers.
//
// Input: a shape byte; a byte whose low four bits give the key's length, and whose high four
// seed the chunks; the key; then the body. The shape's bits 0-1 put a byte-order mark first
// (none, UTF-8, UTF-16 little-endian, big-endian: the body's bytes are then the code units),
// bits 2-3 make each LF of the body LF, CR LF, CR or CR CR LF, with bit 4 the body's 0x01 n b
// stands for n KiB of byte b (n bytes of a CR or LF), and with bit 5 the file is handed out at
// most 4099 bytes a read. The file is read from memory, through the InputFile seam.

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/callbook_reader.h"
#include "core/input_file.h"
#include "fuzz_support.h"
#include "queries/callbook_check.h"
#include "update/callbook_content_check.h"

namespace kalvera::fuzz {
namespace {

using Lines = std::vector<std::optional<std::string>>;  // no text: an overlong line

// A file in memory, read in pieces of at most `most` bytes, as a slow network share hands
// them out.
class MemoryFile : public InputFile {
  public:
    MemoryFile(std::string_view bytes, std::size_t most) : all_(bytes), rest_(bytes), most_(most) {}
    std::size_t Read(char* buffer, std::size_t size, std::error_code&) override {
        const std::size_t count = std::min({size, most_, rest_.size()});
        std::copy_n(rest_.data(), count, buffer);
        rest_.remove_prefix(count);
        return count;
    }
    bool Rewind(std::error_code&) override {
        rest_ = all_;
        return true;
    }

  private:
    std::string_view all_;
    std::string_view rest_;
    std::size_t most_;
};

// Room for a line past the limit, a run of CRs as long, and lines after them.
constexpr std::size_t kMaxRunBytes = 96 * 1024;

std::string ShapedFile(unsigned shape, std::string_view body) {
    static constexpr std::string_view kMarks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    static constexpr std::string_view kLineEnds[] = {"\n", "\r\n", "\r", "\r\r\n"};
    std::string file(kMarks[shape & 3]);
    std::size_t runs = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\n') {
            file += kLineEnds[(shape >> 2) & 3];
        } else if (body[i] == '\x01' && (shape & 16) != 0 && i + 2 < body.size()) {
            const char byte = body[i + 2];
            const std::size_t count = static_cast<unsigned char>(body[i + 1]) *
                                      (byte == '\n' || byte == '\r' ? std::size_t{1} : 1024);
            file.append(std::min(count, kMaxRunBytes - std::min(runs, kMaxRunBytes)), byte);
            runs += count;
            i += 2;
        } else {
            file += body[i];
        }
    }
    return file;
}

auto Into(std::vector<std::string>& lines) {
    return [&lines](std::string_view line) {
        lines.emplace_back(line);
        return false;
    };
}

std::optional<std::string> TextOf(const CallbookLine& line) {
    return line.overlong ? std::nullopt : std::optional<std::string>(line.text);
}

// The content check, fed `file` in chunks cut at random, sees the lines the reader read.
void CheckContent(std::string_view file, unsigned seed, const ScanSummary& scan,
                  const Lines& scanned, std::uint64_t members) {
    CallbookContentCheck check;
    Lines byLf;
    Lines byCr;
    check.ObserveLines([&](LineEnding cutting, const CallbookLine& line) {
        Lines& lines = cutting == LineEnding::LineFeed ? byLf : byCr;
        Expect(line.number == lines.size() + 1, "the check numbers its lines in order");
        lines.push_back(TextOf(line));
    });
    std::minstd_rand random(seed);
    for (std::string_view rest = file; !rest.empty();) {
        const bool rejected = check.Rejected();
        // A few bytes, as a slow transfer hands them over, or up to 70,000.
        const std::size_t most = random() % 2 == 0 ? 7 : 70000;
        const std::size_t length = std::min<std::size_t>(1 + random() % most, rest.size());
        check.Feed(rest.substr(0, length));
        rest.remove_prefix(length);
        Expect(!rejected || check.Rejected(), "a rejected body stays rejected");
    }
    CallbookContentCheck whole;
    whole.Feed(file);
    Expect(whole.Verdict() == check.Verdict() && whole.Rejected() == check.Rejected(),
           "the verdict does not depend on where the chunks are cut");
    // Rejected, the check stops judging, maybe before it could tell how to cut the lines.
    Lines judged = scan.lineEnding == LineEnding::LineFeed ? byLf : byCr;
    if (check.Rejected()) {
        Expect(judged.size() <= scanned.size() &&
                   std::equal(judged.begin(), judged.end(), scanned.begin()),
               "the check cut its lines as the reader does until it rejected the body");
        return;
    }
    if (const std::optional<CallbookLine> last = check.LastLine()) {
        Expect(last->number == judged.size() + 1, "the last line is numbered after the others");
        judged.push_back(TextOf(*last));
    }
    Expect(check.Cutting() == scan.lineEnding && judged == scanned,
           "the check cuts the lines the reader reads");
    Expect(check.MemberLines() == members && scan.overlongLines == 0,
           "the check counts the reader's members, and has rejected an overlong line");
}

}  // namespace

void FuzzOne(Input& input) {
    const unsigned shape = input.Byte();
    const unsigned keyByte = input.Byte();
    const std::string key(input.Take(keyByte & 15));
    const std::string file = ShapedFile(shape, input.Rest());
    SetInputFileOpenerForTesting([&](const std::filesystem::path&, std::error_code&) {
        return std::make_unique<MemoryFile>(file, (shape & 32) != 0 ? 4099 : file.size() + 1);
    });
    const std::filesystem::path path = "/proc/self/exe";  // passes the existence test

    // What the check finds is pinned by its tests; here it meets every kind of line.
    CallbookChecker checker([](const CheckFinding&) {});
    Lines scanned;
    const ScanSummary scan = ScanCallbook(path, [&](const CallbookLine& line) {
        Expect(line.number == scanned.size() + 1, "lines are numbered in order");
        Expect(line.text.size() <= kMaxLineBytes && (!line.overlong || line.text.empty()),
               "no line handed over is longer than the limit");
        scanned.push_back(TextOf(line));
        checker.Line(line);
        return false;
    });
    Expect(scan.result == ScanResult::Completed && scan.lines == scanned.size(),
           "the scan reads every line");
    checker.Finish(scan);

    std::vector<std::string> kept;
    std::vector<std::string> withKey;
    std::uint64_t members = 0;
    for (const auto& line : scanned) {
        if (line) {
            kept.push_back(*line);
            members += IsMemberLine(*line) ? 1 : 0;
            if (line->find(key) != std::string::npos) {
                withKey.push_back(*line);
            }
        }
    }
    std::vector<std::string> read;
    const ScanSummary plain = ReadCallbook(path, Into(read));
    Expect(read == kept && plain.lines == scan.lines && plain.lineEnding == scan.lineEnding &&
               plain.encoding == scan.encoding && plain.overlongLines == scan.overlongLines,
           "the plain reading reads the scan's lines");
    for (const auto strategy :
         {SubstringFinder::Strategy::Fastest, SubstringFinder::Strategy::Memchr}) {
        std::vector<std::string> keyed;
        ReadCallbookLinesContaining(path, SubstringFinder(key, strategy), Into(keyed));
        Expect(keyed == withKey, "the keyed pass hands over the lines that hold the key");
    }
    SetInputFileOpenerForTesting({});
    CheckContent(file, keyByte >> 4, scan, scanned, members);
}

}  // namespace kalvera::fuzz
