// The window's reader and the download's content check must see the same lines in the same
// bytes: the download installs only what it judged, and the window then reads it. The reader
// reads the file from memory; the check is fed the same bytes in chunks cut anywhere.
//
// Input: a shape byte (ShapedFile, fuzz_files.h), a byte that seeds where the chunks are cut,
// then the body.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/callbook_reader.h"
#include "fuzz_files.h"
#include "fuzz_support.h"
#include "update/callbook_content_check.h"

namespace kalvera::fuzz {
namespace {

struct SeenLine {
    std::uint64_t number = 0;
    std::string text;
    bool overlong = false;
    bool operator==(const SeenLine&) const = default;
};

SeenLine Seen(const CallbookLine& line) {
    return {line.number, std::string(line.text), line.overlong};
}

std::string Describe(const std::vector<SeenLine>& lines, std::size_t at) {
    if (at >= lines.size()) {
        return "(none)";
    }
    const SeenLine& line = lines[at];
    return std::to_string(line.number) +
           (line.overlong ? " overlong" : " \"" + Escaped(line.text) + "\"");
}

}  // namespace
}  // namespace kalvera::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalvera;
    using namespace kalvera::fuzz;
    if (size < 2) {
        return 0;
    }
    const std::string file = ShapedFile(data[0], std::string(Bytes(data + 2, size - 2)));

    std::vector<SeenLine> read;
    LineEnding readCutting = LineEnding::LineFeed;
    {
        const ServedFromMemory served(file, file.size() + 1);
        const ScanSummary scan =
            ScanCallbook(ServedFromMemory::Path(), [&](const CallbookLine& line) {
                read.push_back(Seen(line));
                return false;
            });
        FUZZ_CHECK(scan.result == ScanResult::Completed, "the reader ended with %d",
                   int(scan.result));
        readCutting = scan.lineEnding;
    }

    CallbookContentCheck check;
    std::vector<SeenLine> byLf;
    std::vector<SeenLine> byCr;
    check.ObserveLines([&](LineEnding cutting, const CallbookLine& line) {
        (cutting == LineEnding::LineFeed ? byLf : byCr).push_back(Seen(line));
    });
    std::minstd_rand random(data[1] + 1u);
    for (std::string_view rest = file; !rest.empty();) {
        const std::size_t length = std::min<std::size_t>(1 + random() % 70000, rest.size());
        check.Feed(rest.substr(0, length));
        rest.remove_prefix(length);
    }
    // A check that rejected the body before its first LF could not know yet how to cut it;
    // it is compared by the way the reader, who saw the whole file, cut it.
    const bool rejected = check.Rejected();
    FUZZ_CHECK(rejected || check.Cutting() == readCutting, "cut by %s, the reader by %s",
               check.Cutting() == LineEnding::LineFeed ? "LF" : "CR",
               readCutting == LineEnding::LineFeed ? "LF" : "CR");
    std::vector<SeenLine> judged = readCutting == LineEnding::LineFeed ? byLf : byCr;
    if (!rejected) {
        if (const std::optional<CallbookLine> last = check.LastLine()) {
            judged.push_back(Seen(*last));
        }
    }

    // Rejected, the check stops judging: its lines are the reader's first ones.
    FUZZ_CHECK(rejected ? judged.size() <= read.size() : judged.size() == read.size(),
               "the check judged %zu lines, the reader read %zu (rejected %d)", judged.size(),
               read.size(), int(rejected));
    for (std::size_t k = 0; k < judged.size(); ++k) {
        FUZZ_CHECK(judged[k] == read[k], "line %zu: the check has %s, the reader %s", k + 1,
                   Describe(judged, k).c_str(), Describe(read, k).c_str());
    }
    bool overlong = false;
    std::uint64_t members = 0;
    for (const SeenLine& line : read) {
        overlong = overlong || line.overlong;
        members += !line.overlong && IsMemberLine(line.text) ? 1 : 0;
    }
    const ContentVerdict verdict = check.Verdict();
    if (verdict == ContentVerdict::LineTooLong) {
        FUZZ_CHECK(overlong, "too long a line for the check, none for the reader");
    }
    if (!rejected) {
        FUZZ_CHECK(!overlong, "the reader found too long a line, the check did not reject");
        FUZZ_CHECK(check.MemberLines() == members, "%llu member lines for the check, %llu read",
                   static_cast<unsigned long long>(check.MemberLines()),
                   static_cast<unsigned long long>(members));
    }
    return 0;
}
