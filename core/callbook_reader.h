#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "callbook_format.h"
#include "line_splitter.h"
#include "substring_finder.h"
#include "text_decoder.h"

namespace kalvera {

// How a pass over the callbook ended.
enum class ScanResult {
    Completed,    // every line was handed over
    Stopped,      // the handler said it was finished
    FileMissing,  // no regular file at the path, or it could not be opened
    ReadError,    // reading failed part-way: the lines after the failure were never seen
};

// Why a pass over the callbook gave no whole answer: every query says it this one way.
struct ReadFailure {
    bool missing = true;  // no callbook (or it could not be opened); else a read failed part-way
    std::string error;    // what the system said; empty for a file that is simply not there
};

struct ScanSummary {
    ScanResult result = ScanResult::Completed;
    // What the system said, for ReadError (and for FileMissing when opening failed).
    std::string error;
    TextEncoding encoding = TextEncoding::Bytes;
    LineEnding lineEnding = LineEnding::LineFeed;
    // Counted by ScanCallbook and ReadCallbook, which see every line.
    std::uint64_t lines = 0;
    std::uint64_t overlongLines = 0;
    std::uint64_t linesWithSeveralCarriageReturns = 0;  // ended by CR CR LF or more CRs

    std::optional<ReadFailure> Failure() const {
        if (result != ScanResult::FileMissing && result != ScanResult::ReadError) {
            return std::nullopt;
        }
        return ReadFailure{result == ScanResult::FileMissing, error};
    }
};

// One line of the file, as ScanCallbook hands it over.
struct CallbookLine {
    std::string_view text;     // without its line end; empty for an overlong line
    std::uint64_t number = 0;  // counted from 1
    bool overlong = false;     // longer than kMaxLineBytes; its text was never kept
};

// Receives one line's text, without its line end; returns true when the scan is finished.
// The view is valid only during the call.
using LineHandler = std::function<bool(std::string_view line)>;

// Reads the callbook from its first line to its last and hands over every line that is not
// overlong. The file's text is UTF-8 or Windows-1252 bytes, or UTF-16 turned into UTF-8
// (TextDecoder); lines end as LineEnding says (LineSplitter), and a last line without a line
// end still counts. An empty file has no line at all. Other bytes, NUL and a CR inside a line
// included, are data. The line ending is told from the first kReadChunkSize bytes of text: CR
// when they hold a CR and no LF and the rest of the file holds no LF either (so a file whose
// first kReadChunkSize bytes hold neither is read by LF; its first line is too long either
// way).
ScanSummary ReadCallbook(const std::filesystem::path& file, const LineHandler& onLine);

// As ReadCallbook, but every line, overlong ones included, with its number.
ScanSummary ScanCallbook(const std::filesystem::path& file,
                         const std::function<bool(const CallbookLine&)>& onLine);

// As ReadCallbook, but hands over only the lines that contain `key` (letter case respected).
// The other lines are never split or copied: the key is searched in whole blocks first.
ScanSummary ReadCallbookLinesContaining(const std::filesystem::path& file,
                                        const SubstringFinder& key, const LineHandler& onLine);

}  // namespace kalvera
