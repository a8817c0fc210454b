// The decoder and the line splitter on their own: text pushed in pieces of any size comes out
// as the same lines as text pulled in one go.

#include "core/line_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text_decoder.h"

namespace kalvera {
namespace {

using Lines = std::vector<std::string>;

// The lines of `text` cut by `ending`, pushed in pieces of `piece` bytes; "!" for a line too
// long to keep.
Lines PushedLines(std::string_view text, LineEnding ending, std::size_t piece) {
    LineSplitter splitter(ending);
    Lines lines;
    const auto take = [&](const LineBlock& block) {
        lines.insert(lines.end(), block.droppedLines, "!");
        EachLineOf(block.text, ending, [&](const SplitLine& line) {
            lines.push_back(line.overlong ? "!" : std::string(line.text));
            return false;
        });
    };
    for (std::size_t at = 0; at < text.size(); at += piece) {
        splitter.Append(text.substr(at, piece), take);
    }
    splitter.End();
    for (LineBlock block = splitter.Next();; block = splitter.Next()) {
        take(block);
        if (block.end) {
            break;
        }
    }
    return lines;
}

TEST(LineSplitter, lineEnds_asTheFormatSays) {
    for (const std::size_t piece : {1, 2, 3, 7, 4096, 1 << 20}) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(PushedLines("a\r\nb\r\r\nc\nd\re", LineEnding::LineFeed, piece),
                  (Lines{"a", "b", "c", "d\re"}));
        EXPECT_EQ(PushedLines("a\rb\r\rc", LineEnding::CarriageReturn, piece),
                  (Lines{"a", "b", "", "c"}));
        EXPECT_EQ(PushedLines("a\n", LineEnding::LineFeed, piece), Lines{"a"});
        EXPECT_EQ(PushedLines("", LineEnding::LineFeed, piece), Lines{});
        EXPECT_EQ(PushedLines("last\r\r", LineEnding::LineFeed, piece), Lines{"last"});
    }
}

TEST(LineSplitter, limit_isOnTheTextWithoutItsLineEnd) {
    const std::string longest(kMaxLineBytes, 'x');
    const std::string crs(2 * kMaxLineBytes, '\r');
    for (const std::size_t piece : {1000, 65536, 1 << 20}) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(
            PushedLines(longest + "\r\r\na\n" + longest + "y\nb", LineEnding::LineFeed, piece),
            (Lines{longest, "a", "!", "b"}));
        EXPECT_EQ(PushedLines("a" + crs + "\nb" + crs + "c\nd" + crs, LineEnding::LineFeed, piece),
                  (Lines{"a", "!", "d"}));
        EXPECT_EQ(PushedLines(longest + "y", LineEnding::CarriageReturn, piece), Lines{"!"});
    }
}

TEST(LineSplitter, pendingLine_isWhatEndWouldHandOut) {
    LineSplitter splitter;
    splitter.Append("a\nbc\r", [](const LineBlock&) {});
    EXPECT_EQ(splitter.PendingLine().raw, "bc\r");
    EXPECT_FALSE(splitter.PendingLine().overlong);
    splitter.Append(std::string(kMaxLineBytes, 'x'), [](const LineBlock&) {});
    EXPECT_TRUE(splitter.PendingLine().overlong);
}

// Text through the decoder, in pieces of `piece` bytes, then its end.
std::string Decoded(std::string_view bytes, std::size_t piece, TextEncoding* encoding = nullptr) {
    TextDecoder decoder;
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::string_view raw = bytes.substr(at, piece);
        std::string out(TextDecoder::MaxTextBytes(raw.size()), '\0');
        out.resize(decoder.Decode(raw, out.data()));
        text += out;
    }
    char tail[TextDecoder::kMaxFinishBytes];
    text.append(tail, decoder.Finish(tail));
    if (encoding != nullptr) {
        *encoding = decoder.Encoding();
    }
    return text;
}

TEST(TextDecoder, marksAndUtf16_cutAnywhere) {
    for (const std::size_t piece : {1, 2, 3, 5, 1024}) {
        SCOPED_TRACE(piece);
        TextEncoding encoding = TextEncoding::Bytes;
        EXPECT_EQ(Decoded("\xEF\xBB\xBFversi: 1", piece, &encoding), "versi: 1");
        EXPECT_EQ(encoding, TextEncoding::Utf8WithByteOrderMark);
        EXPECT_EQ(Decoded(std::string("\xFF\xFEv\0\xE9\0=\xD8\xFB\xDC", 10), piece, &encoding),
                  "v\xC3\xA9\xF0\x9F\x93\xBB");
        EXPECT_EQ(encoding, TextEncoding::Utf16LittleEndian);
        EXPECT_EQ(Decoded(std::string("\xFE\xFF\0a\xD8\x00\0b\0", 9), piece, &encoding),
                  "a\xEF\xBF\xBD"
                  "b\xEF\xBF\xBD");  // a broken pair, half a unit
        EXPECT_EQ(encoding, TextEncoding::Utf16BigEndian);
        EXPECT_EQ(Decoded("\xEF\xBB", piece, &encoding), "\xEF\xBB");  // too short for a mark
        EXPECT_EQ(Decoded("\xEF\xBBx", piece, &encoding), "\xEF\xBBx");
        EXPECT_EQ(encoding, TextEncoding::Bytes);
    }
}

}  // namespace
}  // namespace kalvera
