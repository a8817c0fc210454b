#include "core/callbook_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_callbook.h"

namespace kalvera {
namespace {

using namespace std::string_literals;
using testing::TempFolder;

std::vector<std::string> AllLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    EXPECT_EQ(ReadCallbook(file,
                           [&](std::string_view line) {
                               lines.emplace_back(line);
                               return false;
                           }),
              ScanResult::Completed);
    return lines;
}

std::vector<std::string> LinesContaining(const std::filesystem::path& file, std::string key) {
    std::vector<std::string> lines;
    ReadCallbookLinesContaining(file, SubstringFinder{std::move(key)}, [&](std::string_view line) {
        lines.emplace_back(line);
        return false;
    });
    return lines;
}

using Lines = std::vector<std::string>;

TEST(ReadCallbook, lineEnds_crLfAndLoneLf_areNotPartOfTheLine) {
    TempFolder folder;
    EXPECT_EQ(AllLines(folder.Write("a#1\r\nb#2\nc#3\r\n")), (Lines{"a#1", "b#2", "c#3"}));
}

TEST(ReadCallbook, lastLineWithoutTerminator_isStillALine) {
    TempFolder folder;
    EXPECT_EQ(AllLines(folder.Write("a\r\nlast")), (Lines{"a", "last"}));
    EXPECT_EQ(AllLines(folder.Write("a\r\n\r\n")), (Lines{"a", ""}));
}

TEST(ReadCallbook, emptyFile_hasNoLine) {
    TempFolder folder;
    EXPECT_TRUE(AllLines(folder.Write("")).empty());
}

TEST(ReadCallbook, nulBytesAndLoneCr_areData) {
    TempFolder folder;
    EXPECT_EQ(AllLines(folder.Write("a\0b\rc\r\nd"s)), (Lines{"a\0b\rc"s, "d"}));
}

TEST(ReadCallbook, byteOrderMarkAtTheStart_isNotPartOfTheFirstLine) {
    TempFolder folder;
    const auto file = folder.Write("\xEF\xBB\xBFQV27ABC#x\r\nb\xEF\xBB\xBF");
    EXPECT_EQ(AllLines(file), (Lines{"QV27ABC#x", "b\xEF\xBB\xBF"}));
    EXPECT_EQ(LinesContaining(file, "QV27ABC"), (Lines{"QV27ABC#x"}));
    EXPECT_EQ(FindLastLineContaining(file, "QV27").line, "QV27ABC#x");
    EXPECT_TRUE(AllLines(folder.Write("\xEF\xBB\xBF")).empty());
}

TEST(ReadCallbook, lineLongerThanTheBuffer_isReadWhole) {
    TempFolder folder;
    const std::string longLine(kReadChunkSize * 3 + 17, 'x');
    EXPECT_EQ(AllLines(folder.Write("a\r\n" + longLine + "\r\nb")), (Lines{"a", longLine, "b"}));
}

TEST(ReadCallbook, handlerFinishing_stopsTheScan) {
    TempFolder folder;
    const auto file = folder.Write("a\nb\nc\n");
    int seen = 0;
    EXPECT_EQ(ReadCallbook(file, [&](std::string_view) { return ++seen == 2; }),
              ScanResult::Stopped);
    EXPECT_EQ(seen, 2);
}

TEST(ReadCallbook, missingFileOrFolder_isReportedMissing) {
    TempFolder folder;
    std::filesystem::create_directory(folder.Path() / "log.txt");
    const auto never = [](std::string_view) { return false; };
    EXPECT_EQ(ReadCallbook(folder.Path() / "log.txt", never), ScanResult::FileMissing);
    EXPECT_EQ(ReadCallbook(folder.Path() / "absent.txt", never), ScanResult::FileMissing);
    EXPECT_EQ(FindLastLineContaining(folder.Path() / "log.txt", "versi: ").result,
              ScanResult::FileMissing);
}

TEST(ReadCallbookLinesContaining, handsOverOnlyLinesHoldingTheKey_caseSensitive) {
    TempFolder folder;
    const auto file = folder.Write("QV27ABC#x\r\nqv27abc#y\r\nzz QV27ABC zz\nQV27AB#z");
    EXPECT_EQ(LinesContaining(file, "QV27ABC"), (Lines{"QV27ABC#x", "zz QV27ABC zz"}));
}

TEST(ReadCallbookLinesContaining, keyTwiceInOneLine_handsTheLineOverOnce) {
    TempFolder folder;
    EXPECT_EQ(LinesContaining(folder.Write("K#K#K\nx\nK"), "K"), (Lines{"K#K#K", "K"}));
}

TEST(ReadCallbookLinesContaining, keyEndingInCr_doesNotMatchTheTerminator) {
    TempFolder folder;
    EXPECT_EQ(LinesContaining(folder.Write("ab\r\nab\rc\n"), "ab\r"), (Lines{"ab\rc"}));
}

// Every position of the key relative to the chunk boundary: the line straddles it, the key
// straddles it, or the CR LF does.
TEST(ReadCallbookLinesContaining, chunkBoundaryInsideLineOrKey_findsEveryLine) {
    const std::string line = "QV27XYZ#Nama#Alamat#Kota#1#2026-01-01#baru";
    for (std::size_t shift = 0; shift < line.size() + 3; ++shift) {
        TempFolder folder;
        const std::size_t padding = kReadChunkSize - shift - 2;  // "\r\n" ends the filler
        const auto file = folder.Write(std::string(padding, 'a') + "\r\n" + line + "\r\n" + line);
        EXPECT_EQ(LinesContaining(file, "QV27XYZ"), (Lines{line, line})) << "shift " << shift;
    }
}

TEST(FindLastLineContaining, lastOfSeveral_wins) {
    TempFolder folder;
    const auto file = folder.Write("versi: 1\r\nQV27A#x\r\nData versi: 2 akhir\r\nQV27B#y\r\n");
    EXPECT_EQ(FindLastLineContaining(file, "versi: ").line, "Data versi: 2 akhir");
}

TEST(FindLastLineContaining, none_givesNoLine) {
    TempFolder folder;
    EXPECT_FALSE(FindLastLineContaining(folder.Write("Versi: 3\r\nversi:3\r\n"), "versi: ").line);
    EXPECT_FALSE(FindLastLineContaining(folder.Write(""), "versi: ").line);
}

TEST(FindLastLineContaining, linesAcrossManyChunks_findTheWholeLine) {
    TempFolder folder;
    const std::string longVersion = std::string(kReadChunkSize * 2, 'v') + "versi: 9" + "tail";
    std::string text = "versi: 1\r\n" + longVersion + "\r\n";
    for (int i = 0; i < 20000; ++i) {
        text += "QV27" + std::to_string(i) + "#Nama#Alamat#Kota#1#null#\r\n";
    }
    EXPECT_EQ(FindLastLineContaining(folder.Write(text), "versi: ").line, longVersion);
    EXPECT_EQ(FindLastLineContaining(folder.Write(text + "versi: last"), "versi: ").line,
              "versi: last");
}

}  // namespace
}  // namespace kalvera
