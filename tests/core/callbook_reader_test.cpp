#include "core/callbook_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/callbook_path.h"
#include "support/failing_input.h"
#include "support/temp_callbook.h"

namespace kalvera {
namespace {

using namespace std::string_literals;
using testing::Repeated;
using testing::TempFolder;
using testing::Utf16;
using Lines = std::vector<std::string>;

const std::string kDropped = "<overlong>";  // a line too long to keep

// Each line followed by a line feed.
std::string Joined(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

// The kept lines that hold `key`.
Lines Kept(const Lines& lines, std::string_view key) {
    Lines kept;
    std::ranges::copy_if(lines, std::back_inserter(kept), [key](const std::string& line) {
        return line != kDropped && line.find(key) != std::string::npos;
    });
    return kept;
}

// Collects the lines handed over; `finished` is what the handler answers each time.
auto Into(Lines& lines, bool finished = false) {
    return [&lines, finished](std::string_view line) {
        lines.emplace_back(line);
        return finished;
    };
}

// How a pass read the file, "" for plain bytes cut at LF with nothing to count.
std::string How(const ScanSummary& scan) {
    static const std::string kEncodings[] = {"", "utf8-mark ", "utf16le ", "utf16be "};
    return kEncodings[static_cast<int>(scan.encoding)] +
           (scan.lineEnding == LineEnding::CarriageReturn ? "cr " : "") +
           (scan.overlongLines > 0 ? "overlong=" + std::to_string(scan.overlongLines) + " " : "") +
           (scan.linesWithSeveralCarriageReturns > 0
                ? "crcrlf=" + std::to_string(scan.linesWithSeveralCarriageReturns) + " "
                : "");
}

struct ReadCase {
    std::string bytes;
    std::string lines;  // each line followed by "\n"
    std::string how = "";
    std::string key = "a";  // for the keyed pass
};

// Every pass over a file hands over the same lines: the full scan, the plain reading and the
// keyed pass on both search paths. Each opens the file once, and a handler that is finished
// is not called again.
TEST(ReadCallbook, everyPass_readsTheLinesAsTheFormatSays) {
    const std::string max(kMaxLineBytes, 'x');
    const std::string member = "QV27ABC#Budi#" + max.substr(13);  // the longest line there is
    const std::string crs(3 * kReadChunkSize, '\r');
    const std::string wide(3 * kReadChunkSize, 'z');
    const std::u16string utf16 = u"versi: 1\r\nQV27A#Ren\u00e9 \U0001F4FB#Jl\r\n";
    const std::string utf8 = "versi: 1\nQV27A#Ren\xC3\xA9 \xF0\x9F\x93\xBB#Jl\n";
    std::vector<ReadCase> cases = {
        {"a#1\r\nb#2\nc#3\r\n", "a#1\nb#2\nc#3\n"},
        {"a\r\nlast", "a\nlast\n"},
        {"a\r\n\r\n", "a\n\n"},
        {"", ""},
        {"a\0b\rc\r\nd"s, "a\0b\rc\nd\n"s, "", "b\r"},  // NUL and a lone CR are data
        {"ab\r\nab\rc\n", "ab\nab\rc\n", "", "ab\r"},   // a key ending in CR is no line end
        {"QV27A#x\r\r\ny\r\n", "QV27A#x\ny\n", "crcrlf=1 "},
        {"versi: 1\rQV27A#x\r\rlast", "versi: 1\nQV27A#x\n\nlast\n", "cr "},
        {Repeated("a\r", kReadChunkSize), Repeated("a\n", kReadChunkSize), "cr "},
        {"a\r" + wide + "\nb", kDropped + "\nb\n", "overlong=1 "},
        {"QV27ABC#\nqv27abc#\nz QV27ABC\nQV27AB#", "QV27ABC#\nqv27abc#\nz QV27ABC\nQV27AB#\n", "",
         "QV27ABC"},
        {"K#K#K\nx\nK", "K#K#K\nx\nK\n", "", "K"},
        {"\xEF\xBB\xBFQV27A#x\r\nb\xEF\xBB\xBF", "QV27A#x\nb\xEF\xBB\xBF\n", "utf8-mark ", "QV27A"},
        {"\xEF\xBB\xBF", "", "utf8-mark "},
        {"\xEF\xBB", "\xEF\xBB\n"},
        {Utf16(utf16, false), utf8, "utf16le ", "\xC3\xA9"},
        {Utf16(utf16, true), utf8, "utf16be ", "\xC3\xA9"},
        // A lone low surrogate, a high one before a letter, half a unit.
        {Utf16(std::u16string{u'a', 0xDC00, u'b', 0xD800, u'c'}, false) + "d",
         "a\uFFFDb\uFFFDc\uFFFD\n", "utf16le "},
        {"a\r\n" + max + "\r\n" + max + "y\r\nb\r\n" + wide + "\nc\n" + wide,
         "a\n" + max + "\n" + kDropped + "\nb\n" + kDropped + "\nc\n" + kDropped + "\n",
         "overlong=3 ", "y"},
        // However long, CRs before an LF end the line; followed by anything else, they are data.
        {"a" + crs + "\nb" + crs + "x\nbc\nd" + crs, "a\n" + kDropped + "\nbc\nd\n",
         "overlong=1 crcrlf=1 ", "b"}};
    for (const std::string end : {"\n", "\r\n", "\r\r\n", "", "\r"}) {
        cases.push_back({"versi: 1\r\n" + member + end, "versi: 1\n" + member + "\n",
                         end == "\r\r\n" ? "crcrlf=1 " : "", "QV27ABC"});
        cases.push_back({"versi: 1\r\n" + member + "x" + end, "versi: 1\n" + kDropped + "\n",
                         "overlong=1 ", "QV27ABC"});
    }
    // Each position of the key about the end of the first read: in the line, in the key, in the
    // CR LF.
    const std::string filler = Repeated(std::string(98, 'a') + "\n", kReadChunkSize / 100 - 1);
    const std::string line = "QV27XYZ#Nama#Alamat#Kota#1#2026-01-01#baru";
    for (std::size_t shift = 0; shift < line.size() + 3; ++shift) {
        const std::string last(kReadChunkSize - shift - filler.size() - 2, 'a');
        cases.push_back({filler + last + "\r\n" + line + "\r\n" + line,
                         filler + last + "\n" + line + "\n" + line + "\n", "", "QV27XYZ"});
    }
    ReadCase manyReads{"", "", "utf16le ", "QV2739999#"};
    std::u16string units;
    for (int i = 0; i < 40000; ++i) {
        const std::string number = std::to_string(i);
        units += u"QV27" + std::u16string(number.begin(), number.end()) + u"#\u00e9\U0001F4FB\r\n";
        manyReads.lines += "QV27" + number + "#\xC3\xA9\xF0\x9F\x93\xBB\n";
    }
    manyReads.bytes = Utf16(units, false);
    cases.push_back(manyReads);

    TempFolder folder;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ReadCase& c = cases[i];
        SCOPED_TRACE(i);
        const auto file = folder.Write(c.bytes);
        const testing::CountedOpens opens;
        Lines scanned;
        const ScanSummary scan = ScanCallbook(file, [&](const CallbookLine& line) {
            EXPECT_EQ(line.number, scanned.size() + 1);
            scanned.push_back(line.overlong ? kDropped : std::string(line.text));
            return false;
        });
        EXPECT_EQ(Joined(scanned), c.lines);
        EXPECT_EQ(How(scan), c.how);
        EXPECT_EQ(scan.lines, scanned.size());
        Lines read;
        ReadCallbook(file, Into(read));
        EXPECT_EQ(read, Kept(scanned, ""));
        for (const auto path :
             {SubstringFinder::Strategy::Fastest, SubstringFinder::Strategy::Memchr}) {
            Lines keyed;
            EXPECT_EQ(
                ReadCallbookLinesContaining(file, SubstringFinder{c.key, path}, Into(keyed)).result,
                ScanResult::Completed);
            EXPECT_EQ(keyed, Kept(scanned, c.key));
        }
        Lines first;
        const auto stop = Into(first, true);
        EXPECT_EQ(ReadCallbook(file, stop).result == ScanResult::Stopped, !read.empty());
        EXPECT_EQ(ReadCallbookLinesContaining(file, SubstringFinder{c.key}, stop).result ==
                      ScanResult::Stopped,
                  !Kept(read, c.key).empty());
        EXPECT_EQ(first.size(), (read.empty() ? 0 : 1) + (Kept(read, c.key).empty() ? 0 : 1));
        EXPECT_EQ(opens.Count(), 6);
    }
}

TEST(ReadCallbook, missingFileOrFolder_isReportedMissing) {
    TempFolder folder;
    EXPECT_EQ(CallbookPath(folder.Path()), folder.Path() / "log.txt");
    Lines none;
    for (const auto& path : {CallbookPath(folder.Path()), folder.Path()}) {
        EXPECT_FALSE(CallbookExists(path));
        EXPECT_EQ(ReadCallbook(path, Into(none)).result, ScanResult::FileMissing);
    }
    EXPECT_TRUE(CallbookExists(folder.Write("", "other.txt")));
}

TEST(ReadCallbook, readFailingPartWay_isAReadErrorAndTheCutLineIsNotALine) {
    TempFolder folder;
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += "QV27" + std::to_string(i) + "#Nama#Alamat#Kota#1#null#\r\n";
    }
    const auto file = folder.Write(text);
    const std::size_t cut = kReadChunkSize + 1000;
    const testing::ReadFailureAfter failure(cut);
    Lines lines;
    const ScanSummary scan = ReadCallbook(file, Into(lines));
    EXPECT_EQ(scan.result, ScanResult::ReadError);
    EXPECT_EQ(scan.error, std::make_error_code(std::errc::io_error).message());
    std::string whole = text.substr(0, text.rfind('\n', cut - 1) + 1);  // the lines read whole
    std::erase(whole, '\r');
    EXPECT_EQ(Joined(lines), whole);
    int calls = 0;
    const auto count = [&](std::string_view) { return ++calls > 0; };
    EXPECT_EQ(ReadCallbookLinesContaining(file, SubstringFinder{"QV2719999"}, count).result,
              ScanResult::ReadError);
    EXPECT_EQ(ReadCallbookLinesContaining(file, SubstringFinder{"QV27199#"}, count).result,
              ScanResult::Stopped);
    // Failing while the line ends are still being told: no line at all.
    EXPECT_EQ(ReadCallbook(folder.Write(Repeated("a\r", kReadChunkSize)), count).result,
              ScanResult::ReadError);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace kalvera
