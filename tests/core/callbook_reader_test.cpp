#include "core/callbook_reader.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/resource.h>
#endif

#include "support/failing_input.h"
#include "support/temp_callbook.h"

namespace kalvera {
namespace {

using namespace std::string_literals;
using testing::TempFolder;
using Lines = std::vector<std::string>;

Lines AllLines(const std::filesystem::path& file, ScanSummary* summary = nullptr) {
    Lines lines;
    const ScanSummary scan = ReadCallbook(file, [&](std::string_view line) {
        lines.emplace_back(line);
        return false;
    });
    EXPECT_EQ(scan.result, ScanResult::Completed);
    if (summary != nullptr) {
        *summary = scan;
    }
    return lines;
}

// The lines of a keyed scan that read the whole file; one that did not fails the test.
Lines LinesContaining(const std::filesystem::path& file, std::string key) {
    Lines lines;
    const ScanSummary scan = ReadCallbookLinesContaining(file, SubstringFinder{std::move(key)},
                                                         [&](std::string_view line) {
                                                             lines.emplace_back(line);
                                                             return false;
                                                         });
    if (scan.result != ScanResult::Completed) {
        ADD_FAILURE() << "the keyed scan did not read " << file << " through";
    }
    return lines;
}

std::string Utf16(std::u16string_view text, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

TEST(ReadCallbook, lineEnds_crLfAndLoneLf_areNotPartOfTheLine) {
    TempFolder folder;
    EXPECT_EQ(AllLines(folder.Write("a#1\r\nb#2\nc#3\r\n")), (Lines{"a#1", "b#2", "c#3"}));
    EXPECT_EQ(AllLines(folder.Write("a\r\nlast")), (Lines{"a", "last"}));
    EXPECT_EQ(AllLines(folder.Write("a\r\n\r\n")), (Lines{"a", ""}));
    EXPECT_TRUE(AllLines(folder.Write("")).empty());
}

TEST(ReadCallbook, nulBytesAndLoneCrInsideALine_areData) {
    TempFolder folder;
    EXPECT_EQ(AllLines(folder.Write("a\0b\rc\r\nd"s)), (Lines{"a\0b\rc"s, "d"}));
}

TEST(ReadCallbook, severalCrsBeforeTheLf_allBelongToTheLineEnd) {
    TempFolder folder;
    ScanSummary summary;
    EXPECT_EQ(AllLines(folder.Write("QV27ABC#a#b#c#1#null#baru\r\r\nx\r\n"), &summary),
              (Lines{"QV27ABC#a#b#c#1#null#baru", "x"}));
    EXPECT_EQ(summary.linesWithSeveralCarriageReturns, 1u);
    EXPECT_EQ(summary.lineEnding, LineEnding::LineFeed);
}

// The line ends are told from the whole text, in the one open of the file that each reading
// makes: a file renamed over it meanwhile (a download) cannot mix into the reading.
TEST(ReadCallbook, crsButNoLfAnywhere_areOldMacLineEnds) {
    TempFolder folder;
    const testing::CountedOpens opens;
    ScanSummary summary;
    EXPECT_EQ(AllLines(folder.Write("versi: 1\rQV27A#x\r\rlast"), &summary),
              (Lines{"versi: 1", "QV27A#x", "", "last"}));
    EXPECT_EQ(summary.lineEnding, LineEnding::CarriageReturn);
    EXPECT_EQ(LinesContaining(folder.Write("a\rQV27A#x\rb"), "QV27A"), (Lines{"QV27A#x"}));
    std::string many;
    for (std::size_t i = 0; i < kReadChunkSize; ++i) {
        many += "a\r";
    }
    EXPECT_EQ(AllLines(folder.Write(many), &summary).size(), kReadChunkSize);
    EXPECT_EQ(summary.lineEnding, LineEnding::CarriageReturn);
    EXPECT_EQ(opens.Count(), 3);
}

TEST(ReadCallbook, crsFirstButALfFurtherOn_keepLfLineEnds) {
    TempFolder folder;
    const std::string head = "a\r" + std::string(kReadChunkSize, 'x');
    const testing::CountedOpens opens;
    ScanSummary summary;
    EXPECT_EQ(AllLines(folder.Write(head.substr(0, 100) + "\nb"), &summary).size(), 2u);
    EXPECT_EQ(AllLines(folder.Write(head + "\nb"), &summary), (Lines{"b"}));
    EXPECT_EQ(summary.lineEnding, LineEnding::LineFeed);
    EXPECT_EQ(summary.overlongLines, 1u);
    EXPECT_EQ(opens.Count(), 2);
}

TEST(ReadCallbook, byteOrderMarkAtTheStart_isNotPartOfTheFirstLine) {
    TempFolder folder;
    ScanSummary summary;
    const auto file = folder.Write("\xEF\xBB\xBFQV27ABC#x\r\nb\xEF\xBB\xBF");
    EXPECT_EQ(AllLines(file, &summary), (Lines{"QV27ABC#x", "b\xEF\xBB\xBF"}));
    EXPECT_EQ(summary.encoding, TextEncoding::Utf8WithByteOrderMark);
    EXPECT_EQ(LinesContaining(file, "QV27ABC"), (Lines{"QV27ABC#x"}));
    EXPECT_TRUE(AllLines(folder.Write("\xEF\xBB\xBF")).empty());
    EXPECT_EQ(AllLines(folder.Write("ab")), (Lines{"ab"}));
}

TEST(ReadCallbook, utf16WithByteOrderMark_isReadAsUtf8Text) {
    TempFolder folder;
    const std::u16string text = u"versi: 1\r\nQV27ABC#Ren\u00e9 \U0001F4FB#Jl#Kota#1#null#baru\r\n";
    for (const bool littleEndian : {true, false}) {
        ScanSummary summary;
        const auto file = folder.Write(Utf16(text, littleEndian));
        EXPECT_EQ(AllLines(file, &summary),
                  (Lines{"versi: 1", "QV27ABC#Ren\xC3\xA9 \xF0\x9F\x93\xBB#Jl#Kota#1#null#baru"}));
        EXPECT_EQ(summary.encoding,
                  littleEndian ? TextEncoding::Utf16LittleEndian : TextEncoding::Utf16BigEndian);
        EXPECT_EQ(LinesContaining(file, "QV27ABC").size(), 1u);
    }
}

TEST(ReadCallbook, brokenUtf16_becomesReplacementCharacters) {
    TempFolder folder;
    // A lone low surrogate, a high surrogate before a plain letter, and half a code unit.
    std::string bytes = Utf16(
                            u"a\xDC00"
                            u"b\xD800"
                            u"c",
                            true) +
                        "d";
    EXPECT_EQ(AllLines(folder.Write(bytes)), (Lines{"a\xEF\xBF\xBD"
                                                    "b\xEF\xBF\xBD"
                                                    "c\xEF\xBF\xBD"}));
}

TEST(ReadCallbook, utf16AcrossManyReads_losesNoCharacter) {
    TempFolder folder;
    std::u16string text;
    Lines expected;
    for (int i = 0; i < 40000; ++i) {
        const std::string number = std::to_string(i);
        const std::string line = "QV27" + number + "#\xC3\xA9\xF0\x9F\x93\xBB";
        text += u"QV27" + std::u16string(number.begin(), number.end()) + u"#\u00e9\U0001F4FB\r\n";
        expected.push_back(line);
    }
    EXPECT_EQ(AllLines(folder.Write(Utf16(text, true))), expected);
}

TEST(ReadCallbook, overlongLines_areSkippedButCounted) {
    TempFolder folder;
    const std::string fits(kMaxLineBytes, 'x');  // exactly the limit, its CR LF aside
    const std::string inOneChunk(kMaxLineBytes + 1, 'y');
    const std::string acrossChunks(kReadChunkSize * 3, 'z');
    const auto file = folder.Write("a\r\n" + fits + "\r\n" + inOneChunk + "\r\nb\r\n" +
                                   acrossChunks + "\nc\n" + acrossChunks);
    std::vector<std::uint64_t> overlong;
    Lines kept;
    const ScanSummary scan = ScanCallbook(file, [&](const CallbookLine& line) {
        if (line.overlong) {
            overlong.push_back(line.number);
        } else {
            kept.emplace_back(line.text);
        }
        return false;
    });
    EXPECT_EQ(kept, (Lines{"a", fits, "b", "c"}));
    EXPECT_EQ(overlong, (std::vector<std::uint64_t>{3, 5, 7}));
    EXPECT_EQ(scan.lines, 7u);
    EXPECT_EQ(LinesContaining(file, "z"), Lines{});
    EXPECT_EQ(LinesContaining(file, "y"), Lines{});
}

// The limit is on a line's text: its line end, however many CRs it has, does not count.
TEST(ReadCallbook, lineOfExactlyTheLimit_isALineWhateverItsLineEnd) {
    TempFolder folder;
    const std::string member = "QV27ABC#Budi#Jl#Kota#1#null#baru";
    const std::string longest = member + std::string(kMaxLineBytes - member.size(), 'x');
    for (const std::string lineEnd : {"\n", "\r\n", "\r\r\n", "", "\r"}) {
        SCOPED_TRACE(::testing::PrintToString(lineEnd));
        const auto file = folder.Write("versi: 1\r\n" + longest + lineEnd);
        EXPECT_EQ(AllLines(file), (Lines{"versi: 1", longest}));
        EXPECT_EQ(LinesContaining(file, "QV27ABC"), Lines{longest});
        const auto oneMore = folder.Write("versi: 1\r\n" + longest + "x" + lineEnd);
        EXPECT_EQ(AllLines(oneMore), Lines{"versi: 1"});
        EXPECT_EQ(LinesContaining(oneMore, "QV27ABC"), Lines{});
    }
}

// However long the run of CRs before an LF, it is line end; followed by anything else, it is
// data and makes the line too long.
TEST(ReadCallbook, longRunsOfCarriageReturns_areLineEndOrTooLong) {
    TempFolder folder;
    const std::string run(3 * kReadChunkSize, '\r');
    ScanSummary summary;
    EXPECT_EQ(AllLines(folder.Write("a" + run + "\nb" + run + "x\nc\nd" + run), &summary),
              (Lines{"a", "c", "d"}));  // the last line's CRs are its line end too
    EXPECT_EQ(summary.lineEnding, LineEnding::LineFeed);
    EXPECT_EQ(summary.overlongLines, 1u);
    EXPECT_EQ(summary.linesWithSeveralCarriageReturns, 1u);
    EXPECT_EQ(LinesContaining(folder.Write("a" + run + "\nb" + run + "x\nbc\n"), "b"), Lines{"bc"});
}

TEST(ReadCallbook, handlerFinishing_stopsTheScan) {
    TempFolder folder;
    const auto file = folder.Write("a\nb\nc\n");
    int seen = 0;
    EXPECT_EQ(ReadCallbook(file, [&](std::string_view) { return ++seen == 2; }).result,
              ScanResult::Stopped);
    EXPECT_EQ(seen, 2);
}

TEST(ReadCallbook, missingFileOrFolder_isReportedMissing) {
    TempFolder folder;
    std::filesystem::create_directory(folder.Path() / "log.txt");
    const auto never = [](std::string_view) { return false; };
    EXPECT_EQ(ReadCallbook(folder.Path() / "log.txt", never).result, ScanResult::FileMissing);
    EXPECT_EQ(ReadCallbook(folder.Path() / "absent.txt", never).result, ScanResult::FileMissing);
}

TEST(ReadCallbook, readFailingPartWay_isAReadErrorAndTheCutLineIsNotALine) {
    TempFolder folder;
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += "QV27" + std::to_string(i) + "#Nama#Alamat#Kota#1#null#\r\n";
    }
    const auto file = folder.Write(text);
    const std::size_t cut = kReadChunkSize + 1000;
    testing::ReadFailureAfter failure(cut);
    Lines lines;
    const ScanSummary scan = ReadCallbook(file, [&](std::string_view line) {
        lines.emplace_back(line);
        return false;
    });
    EXPECT_EQ(scan.result, ScanResult::ReadError);
    EXPECT_EQ(scan.error, std::make_error_code(std::errc::io_error).message());
    ASSERT_FALSE(lines.empty());
    const std::size_t wholeLines = text.substr(0, cut).rfind('\n');
    EXPECT_EQ(lines.back(),
              text.substr(0, wholeLines - 1).substr(text.rfind('\n', wholeLines - 1) + 1));
    std::size_t pastTheFailure = 0;
    EXPECT_EQ(ReadCallbookLinesContaining(file, SubstringFinder{"QV2719999"},
                                          [&](std::string_view) { return ++pastTheFailure > 0; })
                  .result,
              ScanResult::ReadError);
    EXPECT_EQ(pastTheFailure, 0u);
    EXPECT_EQ(ReadCallbookLinesContaining(file, SubstringFinder{"QV27199#"},
                                          [](std::string_view) { return true; })
                  .result,
              ScanResult::Stopped);
    // Failing while the line ends are still being told: no line at all.
    std::string mac;
    for (std::size_t i = 0; i < kReadChunkSize; ++i) {
        mac += "a\r";
    }
    lines.clear();
    EXPECT_EQ(ReadCallbook(folder.Write(mac),
                           [&](std::string_view line) {
                               lines.emplace_back(line);
                               return false;
                           })
                  .result,
              ScanResult::ReadError);
    EXPECT_TRUE(lines.empty());
}

TEST(ReadCallbookLinesContaining, testHelper_fileNotReadThrough_failsTheTest) {
    TempFolder folder;
    EXPECT_NONFATAL_FAILURE(LinesContaining(folder.Path() / "absent.txt", "QV27"), "did not read");
}

TEST(ReadCallbookLinesContaining, handsOverOnlyLinesHoldingTheKey_caseSensitive) {
    TempFolder folder;
    const auto file = folder.Write("QV27ABC#x\r\nqv27abc#y\r\nzz QV27ABC zz\nQV27AB#z");
    EXPECT_EQ(LinesContaining(file, "QV27ABC"), (Lines{"QV27ABC#x", "zz QV27ABC zz"}));
    EXPECT_EQ(LinesContaining(folder.Write("K#K#K\nx\nK"), "K"), (Lines{"K#K#K", "K"}));
}

TEST(ReadCallbookLinesContaining, keyEndingInCr_doesNotMatchTheLineEnd) {
    TempFolder folder;
    EXPECT_EQ(LinesContaining(folder.Write("ab\r\nab\rc\n"), "ab\r"), (Lines{"ab\rc"}));
}

// Every position of the key relative to the chunk boundary: the line straddles it, the key
// straddles it, or the CR LF does.
TEST(ReadCallbookLinesContaining, chunkBoundaryInsideLineOrKey_findsEveryLine) {
    const std::string line = "QV27XYZ#Nama#Alamat#Kota#1#2026-01-01#baru";
    for (std::size_t shift = 0; shift < line.size() + 3; ++shift) {
        TempFolder folder;
        const std::size_t target = kReadChunkSize - shift;
        std::string filler;
        while (filler.size() + 200 <= target) {
            filler += std::string(98, 'a') + "\r\n";
        }
        filler += std::string(target - filler.size() - 2, 'a') + "\r\n";
        const auto file = folder.Write(filler + line + "\r\n" + line);
        EXPECT_EQ(LinesContaining(file, "QV27XYZ"), (Lines{line, line})) << "shift " << shift;
    }
}

#ifdef __linux__
long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A file of zeros, as a power cut leaves one, or any file without a line end, is read in
// the same fixed buffer as any other. Sparse, so the test costs no disk.
TEST(ReadCallbook, hundredsOfMegabytesWithoutLineEnd_keepMemoryFlat) {
    TempFolder folder;
    const auto zeros = folder.Path() / "log.txt";
    std::filesystem::resize_file(folder.Write(""), std::uintmax_t{400} << 20);
    const auto withMember = folder.Path() / "member.txt";
    std::filesystem::resize_file(folder.Write("", "member.txt"), std::uintmax_t{300} << 20);
    std::ofstream(withMember, std::ios::app | std::ios::binary)
        << "\nQV27ZZZ#Nama#Alamat#Kota#1#null#baru\r\n";

    const long before = PeakResidentKiB();
    ScanSummary summary;
    EXPECT_TRUE(AllLines(zeros, &summary).empty());
    EXPECT_EQ(summary.overlongLines, 1u);
    EXPECT_EQ(LinesContaining(withMember, "QV27ZZZ"),
              (Lines{"QV27ZZZ#Nama#Alamat#Kota#1#null#baru"}));
    EXPECT_LT(PeakResidentKiB() - before, 16 * 1024) << "KiB more at the peak";
}
#endif

}  // namespace
}  // namespace kalvera
