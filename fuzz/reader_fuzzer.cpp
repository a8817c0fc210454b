// The reader: the full pass, the counting pass and the keyed pass over one file must agree
// with each other and with a plain model of the file's lines, whatever the bytes, encoding
// and line ends.
//
// Input: a shape byte, a byte whose low four bits give the key's length and whose high four
// bits pick a line to stop at, the key, then the body. The shape's bits 0-5 make the file
// (ShapedFile, fuzz_files.h); bit 6 makes the file hand out at most 4099 bytes per read. The
// file is read from memory, through the InputFile seam.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/callbook_reader.h"
#include "fuzz_files.h"
#include "fuzz_support.h"

namespace kalvera::fuzz {
namespace {

// The text a reader should see in `file`: the byte-order mark dropped, UTF-16 decoded with
// U+FFFD for each broken surrogate and for a lone last byte.
std::string ModelText(std::string_view file, TextEncoding& encoding) {
    if (file.starts_with("\xEF\xBB\xBF")) {
        encoding = TextEncoding::Utf8WithByteOrderMark;
        return std::string(file.substr(3));
    }
    const bool little = file.starts_with("\xFF\xFE");
    if (!little && !file.starts_with("\xFE\xFF")) {
        encoding = TextEncoding::Bytes;
        return std::string(file);
    }
    encoding = little ? TextEncoding::Utf16LittleEndian : TextEncoding::Utf16BigEndian;
    std::vector<char16_t> units;
    std::size_t i = 2;
    for (; i + 1 < file.size(); i += 2) {
        const auto a = static_cast<unsigned char>(file[i]);
        const auto b = static_cast<unsigned char>(file[i + 1]);
        units.push_back(static_cast<char16_t>(little ? a | (b << 8) : (a << 8) | b));
    }
    std::string text;
    text.reserve(units.size() * 3);
    for (std::size_t k = 0; k < units.size(); ++k) {
        const char16_t unit = units[k];
        if (unit >= 0xD800 && unit <= 0xDBFF && k + 1 < units.size() && units[k + 1] >= 0xDC00 &&
            units[k + 1] <= 0xDFFF) {
            AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (units[k + 1] - 0xDC00));
            ++k;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(text, 0xFFFD);
        } else {
            AppendUtf8(text, unit);
        }
    }
    if (i < file.size()) {
        AppendUtf8(text, 0xFFFD);
    }
    return text;
}

struct ModelLine {
    std::string_view text;
    bool overlong = false;
    bool severalCrs = false;
};

std::vector<ModelLine> ModelLines(std::string_view text, LineEnding ending) {
    const char endByte = ending == LineEnding::LineFeed ? '\n' : '\r';
    std::vector<ModelLine> lines;
    std::vector<std::string_view> raws = SplitAt(text, endByte);
    if (raws.back().empty()) {
        raws.pop_back();  // the text ends with a line end, or is empty
    }
    for (std::size_t k = 0; k < raws.size(); ++k) {
        ModelLine line;
        std::string_view kept = raws[k];
        std::size_t crs = 0;
        while (ending == LineEnding::LineFeed && !kept.empty() && kept.back() == '\r') {
            kept.remove_suffix(1);
            ++crs;
        }
        // The limit is on the text; the line end, however many CRs, does not count.
        line.overlong = kept.size() > kMaxLineBytes;
        const bool endedByLineFeed = k + 1 < raws.size() || text.ends_with('\n');
        line.severalCrs = !line.overlong && crs > 1 && endedByLineFeed;
        line.text = line.overlong ? std::string_view{} : kept;
        lines.push_back(line);
    }
    return lines;
}

// Checks, line by line as a pass hands them over, that they are `expected` in order.
class ExpectedLines {
  public:
    ExpectedLines(std::vector<std::string_view> expected, const char* pass)
        : expected_(std::move(expected)), pass_(pass) {}

    void Take(std::string_view line) {
        FUZZ_CHECK(line.size() <= kMaxLineBytes, "%s: a line of %zu bytes", pass_, line.size());
        FUZZ_CHECK(next_ < expected_.size(), "%s: more lines than the model's %zu", pass_,
                   expected_.size());
        FUZZ_CHECK(line == expected_[next_], "%s: line %zu is \"%s\", the model has \"%s\"", pass_,
                   next_, Escaped(line).c_str(), Escaped(expected_[next_]).c_str());
        ++next_;
    }
    void Done() const {
        FUZZ_CHECK(next_ == expected_.size(), "%s: %zu lines, the model has %zu", pass_, next_,
                   expected_.size());
    }

  private:
    std::vector<std::string_view> expected_;
    const char* pass_;
    std::size_t next_ = 0;
};

std::vector<std::string_view> TextsOf(const std::vector<ModelLine>& lines, const std::string* key) {
    std::vector<std::string_view> texts;
    for (const ModelLine& line : lines) {
        if (!line.overlong && (key == nullptr || Contains(line.text, *key))) {
            texts.push_back(line.text);
        }
    }
    return texts;
}

}  // namespace
}  // namespace kalvera::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalvera;
    using namespace kalvera::fuzz;
    if (size < 2) {
        return 0;
    }
    const unsigned shape = data[0];
    const std::size_t keyLength = std::min<std::size_t>(data[1] & 15, size - 2);
    const std::uint64_t stopAt = data[1] >> 4;
    const std::string key(Bytes(data + 2, keyLength));
    std::optional<std::string> utf8Body;  // what the text must be, when encoded from UTF-8
    const std::string file = ShapedFile(
        shape, std::string(Bytes(data + 2 + keyLength, size - 2 - keyLength)), &utf8Body);
    const ServedFromMemory served(file, shape & 64 ? 4099 : file.size() + 1);
    const std::filesystem::path path = ServedFromMemory::Path();

    TextEncoding encoding = TextEncoding::Bytes;
    const std::string text = ModelText(file, encoding);
    if (utf8Body) {
        FUZZ_CHECK(text == *utf8Body, "the model's UTF-16 decoding lost text");
    }

    // Every line, with numbers and the overlong ones; compared with the model once the line
    // ending is known. The texts are kept end to end in one string.
    std::string seenText;
    std::vector<std::size_t> seenLength;
    std::vector<bool> seenOverlong;
    const ScanSummary scan = ScanCallbook(path, [&](const CallbookLine& line) {
        FUZZ_CHECK(line.text.size() <= kMaxLineBytes, "line %llu handed over with %zu bytes",
                   static_cast<unsigned long long>(line.number), line.text.size());
        FUZZ_CHECK(line.number == seenLength.size() + 1, "line %llu follows line %zu",
                   static_cast<unsigned long long>(line.number), seenLength.size());
        FUZZ_CHECK(!line.overlong || line.text.empty(), "an overlong line kept its text");
        seenText.append(line.text);
        seenLength.push_back(line.text.size());
        seenOverlong.push_back(line.overlong);
        return false;
    });
    FUZZ_CHECK(scan.result == ScanResult::Completed, "scan ended with %d", int(scan.result));
    FUZZ_CHECK(scan.encoding == encoding, "encoding %d, the model has %d", int(scan.encoding),
               int(encoding));

    // Old Mac line ends only when the text holds CRs and no LF; CRs early in the text and no LF
    // must be taken as such. (How far into the text the reader looks is its own business.)
    const bool hasLineFeed = text.find('\n') != std::string::npos;
    const std::size_t firstCr = text.find('\r');
    if (hasLineFeed || firstCr == std::string::npos) {
        FUZZ_CHECK(scan.lineEnding == LineEnding::LineFeed, "CR line ends in a text with LFs");
    } else if (firstCr < kMaxLineBytes) {
        FUZZ_CHECK(scan.lineEnding == LineEnding::CarriageReturn, "CR-only text read by LFs");
    }

    const std::vector<ModelLine> model = ModelLines(text, scan.lineEnding);
    FUZZ_CHECK(scan.lines == model.size() && seenLength.size() == model.size(),
               "%zu lines handed over, %llu counted, the model has %zu", seenLength.size(),
               static_cast<unsigned long long>(scan.lines), model.size());
    std::uint64_t overlong = 0;
    std::uint64_t severalCrs = 0;
    std::size_t offset = 0;
    for (std::size_t k = 0; k < model.size(); ++k) {
        const std::string_view seen = std::string_view(seenText).substr(offset, seenLength[k]);
        offset += seenLength[k];
        FUZZ_CHECK(seenOverlong[k] == model[k].overlong, "line %zu overlong %d, model %d", k + 1,
                   int(seenOverlong[k]), int(model[k].overlong));
        FUZZ_CHECK(seen == model[k].text, "line %zu is \"%s\", the model has \"%s\"", k + 1,
                   Escaped(seen).c_str(), Escaped(model[k].text).c_str());
        overlong += model[k].overlong ? 1 : 0;
        severalCrs += model[k].severalCrs ? 1 : 0;
    }
    FUZZ_CHECK(scan.overlongLines == overlong, "%llu overlong lines counted, model %llu",
               static_cast<unsigned long long>(scan.overlongLines),
               static_cast<unsigned long long>(overlong));
    FUZZ_CHECK(scan.linesWithSeveralCarriageReturns == severalCrs,
               "%llu lines with CR CR LF counted, model %llu",
               static_cast<unsigned long long>(scan.linesWithSeveralCarriageReturns),
               static_cast<unsigned long long>(severalCrs));

    // The plain pass: the lines that are not overlong.
    ExpectedLines plain(TextsOf(model, nullptr), "ReadCallbook");
    const ScanSummary read = ReadCallbook(path, [&](std::string_view line) {
        plain.Take(line);
        return false;
    });
    FUZZ_CHECK(read.result == ScanResult::Completed, "read ended with %d", int(read.result));
    FUZZ_CHECK(read.lines == scan.lines && read.overlongLines == scan.overlongLines &&
                   read.linesWithSeveralCarriageReturns == scan.linesWithSeveralCarriageReturns &&
                   read.lineEnding == scan.lineEnding && read.encoding == scan.encoding,
               "ReadCallbook and ScanCallbook count differently");
    plain.Done();

    // The keyed pass, on both search paths: exactly the plain pass's lines that hold the key.
    const std::vector<std::string_view> withKey = TextsOf(model, &key);
    for (const auto strategy :
         {SubstringFinder::Strategy::Fastest, SubstringFinder::Strategy::Memchr}) {
        ExpectedLines keyed(withKey, strategy == SubstringFinder::Strategy::Memchr
                                         ? "keyed pass (memchr)"
                                         : "keyed pass (fastest)");
        const ScanSummary summary = ReadCallbookLinesContaining(
            path, SubstringFinder(key, strategy), [&](std::string_view line) {
                keyed.Take(line);
                return false;
            });
        FUZZ_CHECK(summary.result == ScanResult::Completed, "keyed pass ended with %d",
                   int(summary.result));
        keyed.Done();
    }

    // A handler that is finished is never called again.
    if (stopAt >= 1 && stopAt <= model.size()) {
        std::uint64_t calls = 0;
        const ScanSummary stopped = ScanCallbook(path, [&](const CallbookLine& line) {
            ++calls;
            return line.number == stopAt;
        });
        FUZZ_CHECK(stopped.result == ScanResult::Stopped && calls == stopAt,
                   "asked to stop at line %llu: %llu calls, result %d",
                   static_cast<unsigned long long>(stopAt), static_cast<unsigned long long>(calls),
                   int(stopped.result));
    }
    if (!withKey.empty()) {
        std::size_t calls = 0;
        const ScanSummary stopped =
            ReadCallbookLinesContaining(path, SubstringFinder(key), [&](std::string_view) {
                ++calls;
                return true;
            });
        FUZZ_CHECK(stopped.result == ScanResult::Stopped && calls == 1,
                   "keyed pass went on after its handler finished: %zu calls", calls);
    }
    return 0;
}
