// What the download accepts as a callbook, fed whole and split at every possible place.

#include "update/callbook_content_check.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "core/callbook_reader.h"
#include "core/callbook_record.h"
#include "support/temp_callbook.h"

namespace {

// Heap allocations made by this thread while counting is on.
thread_local bool countAllocations = false;
thread_local std::size_t allocations = 0;

}  // namespace

void* operator new(std::size_t size) {
    if (countAllocations) {
        ++allocations;
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
// g++ takes the malloc inside the replacement above for the pairing of new and delete.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace kalvera {
namespace {

using namespace std::string_literals;

constexpr std::string_view kMember =
    "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan";
constexpr std::string_view kVersion = "Database versi: 2025-06-01 10:00";

std::string Repeat(std::string_view text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// `text` as UTF-16 bytes with the byte-order mark of its byte order.
std::string Utf16(std::u16string_view text, bool bigEndian, bool withMark = true) {
    std::string out;
    const auto put = [&](char16_t unit) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    if (withMark) {
        put(u'\xFEFF');
    }
    for (const char16_t unit : text) {
        put(unit);
    }
    return out;
}

struct Judged {
    ContentVerdict verdict;
    bool endsWithLineEnd;
    bool operator==(const Judged&) const = default;
};

void PrintTo(const Judged& judged, std::ostream* out) {
    *out << Describe(judged.verdict) << (judged.endsWithLineEnd ? ", line end" : ", no line end");
}

Judged FedInPiecesOf(std::string_view body, std::size_t piece) {
    CallbookContentCheck check;
    for (std::size_t at = 0; at < body.size(); at += piece) {
        check.Feed(body.substr(at, piece));
    }
    return {check.Verdict(), check.EndsWithLineEnd()};
}

// The judgement must not depend on where the network happens to split the body.
void ExpectJudged(std::string_view body, ContentVerdict verdict, bool endsWithLineEnd) {
    const Judged expected{verdict, endsWithLineEnd};
    EXPECT_EQ(FedInPiecesOf(body, body.size() + 1), expected) << "whole";
    for (const std::size_t piece : {1, 2, 3, 5, 7, 4096}) {
        EXPECT_EQ(FedInPiecesOf(body, piece), expected) << "in pieces of " << piece;
    }
}

struct Case {
    const char* name;
    std::string body;
    ContentVerdict verdict;
    bool endsWithLineEnd = true;
};

void ExpectCases(const std::initializer_list<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectJudged(c.body, c.verdict, c.endsWithLineEnd);
    }
}

const std::string kCallbook = std::string(kVersion) + "\r\n" + std::string(kMember) + "\r\n";

TEST(CallbookContentCheckTest, memberAndVersionLines_makeACallbook) {
    const std::string m(kMember);
    ExpectCases({
        {"published", kCallbook, ContentVerdict::Plausible},
        {"version line only", "versi: 2025\r\n", ContentVerdict::NoMemberLine},
        {"notice that mentions a version",
         "Mohon maaf, layanan dipindahkan.\r\nSilakan gunakan aplikasi versi: terbaru.\r\n",
         ContentVerdict::NoMemberLine},
        {"member lines only", m + "\r\n" + m + "\r\n", ContentVerdict::Plausible},
        {"last line without line end", kCallbook + m, ContentVerdict::Plausible, false},
        {"lone LF", "versi: 2025\n" + m + "\n", ContentVerdict::Plausible},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + kCallbook, ContentVerdict::Plausible},
        {"empty and blank lines", "\r\n \t\r\n" + kCallbook + "\r\n\r\n",
         ContentVerdict::Plausible},
        {"callsign in lower case, another prefix, blanks around",
         "qv27abc#b#c#d#e#f#g\r\nYB0ZZ#b#c#d#e#f#g\r\n \tQV27A1B \t#b#c#d#e#f#g\r\n",
         ContentVerdict::Plausible},
        {"more fields than seven", m + "#x#y\r\n", ContentVerdict::Plausible},
        {"marker inside a longer text", "versversi: 2025\r\n" + m + "\r\n",
         ContentVerdict::Plausible},
        {"marker case respected", "Database Versi: 2025\r\n", ContentVerdict::NoCallbookLine},
        {"marker without blank", "Database versi:2025\r\n", ContentVerdict::NoCallbookLine},
        {"marker across a line end", "Database ver\nsi: 2025\r\n", ContentVerdict::NoCallbookLine},
        {"marker broken by a CR inside the line", "Database ver\rsi: 2025\n",
         ContentVerdict::NoCallbookLine},
        {"marker after held CRs", "\r\rversi: 2025\n" + m + "\n", ContentVerdict::Plausible},
    });
}

// A line counts as a member only when its first field has the shape of a callsign and it has
// the separators of seven fields.
TEST(CallbookContentCheckTest, memberLine_needsCallsignShapeAndSixSeparators) {
    ExpectCases({
        {"six separators", "QV27ABC#b#c#d#e#f#\r\n", ContentVerdict::Plausible},
        {"five separators", "QV27ABC#b#c#d#e#f\r\n", ContentVerdict::NoCallbookLine},
        {"separators over two lines", "QV27ABC#b#c#d\r\ne#f#g#h\r\n",
         ContentVerdict::NoCallbookLine},
        {"no digits", "Nama#b#c#d#e#f#g\r\n", ContentVerdict::NoCallbookLine},
        {"starts with a digit", "2025#b#c#d#e#f#g\r\n", ContentVerdict::NoCallbookLine},
        {"single letter field", "a#b#c#d#e#f#g\r\n", ContentVerdict::NoCallbookLine},
        {"blank inside", "QV27 ABC#b#c#d#e#f#g\r\n", ContentVerdict::NoCallbookLine},
        {"punctuation", "QV27-ABC#b#c#d#e#f#g\r\n", ContentVerdict::NoCallbookLine},
        {"five letters before the digits", "ABCDE1#b#c#d#e#f#g\r\n",
         ContentVerdict::NoCallbookLine},
        {"suffix of nine", "QV27ABCDEFGHI#b#c#d#e#f#g\r\n", ContentVerdict::NoCallbookLine},
        {"style rule", "a{color:#111}#b#c#d#e#f#g\r\n", ContentVerdict::NoCallbookLine},
        {"empty first field", "#QV27ABC#c#d#e#f#g\r\n", ContentVerdict::NoCallbookLine},
    });
}

TEST(CallbookContentCheckTest, memberLines_areCountedAsTheStartUpCountsThem) {
    const std::string m = std::string(kMember) + "\r\n";
    CallbookContentCheck check;
    check.Feed(std::string(kVersion) + "\r\ncatatan\r\n" + Repeat(m, 3));
    EXPECT_EQ(check.MemberLines(), 3u);
    check.Feed(kMember);  // the last line counts without its line end
    EXPECT_EQ(check.MemberLines(), 4u);

    for (const std::string_view line :
         {"QV27ABC#b#c#d#e#f#g", " qv27a1b\t#b#c#d#e#f#", "YB0ZZ#b#c#d#e#f#g#h",
          "QV27ABC#b#c#d#e#f", "QV27 ABC#b#c#d#e#f#g", "2025#b#c#d#e#f#g", "ABCDE1#b#c#d#e#f#g",
          "QV27#b#c#d#e#f#g", "QV27ABCDEFGH#b#c#d#e#f#g", "QV27ABCDEFGHI#b#c#d#e#f#g",
          "QV2712345#b#c#d#e#f#g", "QV27ABC versi: 1#b#c#d#e#f#g", "#QV27ABC#c#d#e#f#g",
          "Q1A-#b#c#d#e#f#g"}) {
        CallbookContentCheck one;
        one.Feed(line);
        EXPECT_EQ(one.MemberLines() == 1, IsMemberLine(line)) << line;
    }
}

TEST(CallbookContentCheckTest, oddLines_toleratedUpToThreeOrOnePerHundred) {
    const std::string m = std::string(kMember) + "\r\n";
    ExpectCases({
        {"three odd lines", "Daftar anggota\r\ncatatan\r\n----\r\n" + m, ContentVerdict::Plausible},
        {"four odd lines", "Daftar anggota\r\ncatatan\r\n----\r\n====\r\n" + m,
         ContentVerdict::TooManyOddLines},
        {"four odd among 404", Repeat(m, 400) + Repeat("catatan\r\n", 4),
         ContentVerdict::Plausible},
        {"five odd among 405", Repeat(m, 400) + Repeat("catatan\r\n", 5),
         ContentVerdict::TooManyOddLines},
        {"odd last line without line end", m + "a\r\nb\r\nc\r\nd", ContentVerdict::TooManyOddLines,
         false},
        {"no member or version line", "Maaf, berkas tidak tersedia.\r\nSilakan coba lagi#nanti\r\n",
         ContentVerdict::NoCallbookLine},
    });
}

// Captive portals, hosting placeholders and error pages come with status 200.
TEST(CallbookContentCheckTest, htmlTagNearTheStart_isAPageWhateverFollows) {
    const std::string portal =
        "<head><title>Masuk</title><style>a{color:#111}</style></head>\r\n"
        "<body><form>QV27ABC#b#c#d#e#f#g</form>\r\n"
        "#######\r\n";
    ExpectCases({
        {"captive portal", portal + Repeat(std::string(kMember) + "\r\n", 500),
         ContentVerdict::HtmlPage, false},
        {"doctype", "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\">",
         ContentVerdict::HtmlPage, false},
        {"after byte-order mark and blanks",
         "\xEF\xBB\xBF\r\n \t<Html lang=\"id\">\r\n" + kCallbook, ContentVerdict::HtmlPage, false},
        {"after callbook lines", kCallbook + "<SCRIPT>x()</script>\r\n", ContentVerdict::HtmlPage,
         false},
        {"after a stray angle", kCallbook + "<<body>\r\n", ContentVerdict::HtmlPage, false},
        {"unfinished tag", "<htm#b#c#d#e#f#g\r\n" + kCallbook, ContentVerdict::Plausible},
        {"tag after the first 8 KiB", Repeat(kCallbook, 100) + "<style>\r\n",
         ContentVerdict::Plausible},
        {"half a byte-order mark", "\xEF\xBB<html>", ContentVerdict::HtmlPage, false},
        {"UTF-16", Utf16(u"<html><body>QV27ABC#b#c#d#e#f#g</body></html>\r\n", false),
         ContentVerdict::HtmlPage, false},
    });
}

// Editors save the callbook in more ways than CR LF in 8 bits.
TEST(CallbookContentCheckTest, editorFormats_areReadAsText) {
    const std::u16string callbook =
        u"Database versi: 2025\r\nQV27ABC#B\u00FCdi#Jl. \u6885 7#Kab. Contoh#0412#null#baru\r\n";
    ExpectCases({
        {"UTF-16 LE", Utf16(callbook, false), ContentVerdict::Plausible},
        {"UTF-16 BE", Utf16(callbook, true), ContentVerdict::Plausible},
        {"UTF-16 without line end", Utf16(u"versi: 2025\rQV27ABC#b#c#d#e#f#g", false),
         ContentVerdict::Plausible, false},
        {"UTF-16 ending in half a unit", Utf16(callbook, false) + "Q", ContentVerdict::BrokenUtf16,
         false},
        {"UTF-16 without mark", Utf16(callbook, false, false), ContentVerdict::ContainsNul, false},
        {"UTF-16 with U+0000", Utf16(u"versi: 2025\r\n\u0000\r\n"s, true),
         ContentVerdict::ContainsNul, false},
        // U+2323 is the bytes "##": separators only to a reader that ignores the encoding.
        {"UTF-16 whose bytes look like separators", Utf16(u"QV27ABC\u2323\u2323\u2323\r\n", false),
         ContentVerdict::NoCallbookLine},
        {"CR line ends", "versi: 2025\rQV27ABC#b#c#d#e#f#g\r", ContentVerdict::Plausible},
        {"CR line ends, odd first line", "catatan\rQV27ABC#b#c#d#e#f#g\r",
         ContentVerdict::Plausible},
        {"CR CR LF line ends", "versi: 2025\r\r\nQV27ABC#b#c#d#e#f#g\r\r\r\n",
         ContentVerdict::Plausible},
        // With an LF anywhere lines end at LF, and a CR inside a line is data.
        {"lone CR in an LF file", "catatan\rQV27ABC#b#c#d#e#f#g\n", ContentVerdict::NoCallbookLine},
        {"CR cut from its LF", "versi: 2025\r\nQV27ABC#b#c#d#e#f#g\r", ContentVerdict::Plausible,
         false},
        {"no line end at all", "QV27ABC#b#c#d#e#f#g", ContentVerdict::Plausible, false},
        {"CR only, UTF-16", Utf16(u"versi: 2025\rQV27ABC#b#c#d#e#f#g\r", true),
         ContentVerdict::Plausible},
    });
}

TEST(CallbookContentCheckTest, longestLine_isKMaxLineBytesCountedWithoutItsEnd) {
    const std::string head = "versi: ";
    const std::string longest = head + std::string(kMaxLineBytes - head.size(), 'x');
    // Each U+00E9 takes two bytes in UTF-8: 7 + 2 * 32765 bytes, though 32772 characters.
    const std::u16string wide(kMaxLineBytes / 2 - 3, u'\u00E9');
    ExpectCases({
        {"longest", longest + "\r\r\n" + kCallbook, ContentVerdict::Plausible},
        {"one byte more", longest + "x\r\n" + kCallbook, ContentVerdict::LineTooLong, false},
        {"one byte more, last line", kCallbook + longest + "x", ContentVerdict::LineTooLong, false},
        {"UTF-16 counted as UTF-8", Utf16(u"versi: " + wide + u"\r\n", false),
         ContentVerdict::LineTooLong, false},
        {"UTF-16 one short",
         Utf16(u"versi: " + wide.substr(1) + u"x\r\nQV27ABC#b#c#d#e#f#g\r\n", false),
         ContentVerdict::Plausible},
        {"held CRs that turn out data", longest + "\rx\n", ContentVerdict::LineTooLong, false},
        // Long only when cut at LF: fine as long as no LF comes.
        {"CR lines longer together", Repeat("QV27ABC#b#c#d#e#f#g\r", 5000),
         ContentVerdict::Plausible},
        {"then an LF", Repeat("QV27ABC#b#c#d#e#f#g\r", 5000) + "\n", ContentVerdict::LineTooLong,
         false},
    });
}

TEST(CallbookContentCheckTest, smallBodies_emptyOrNulOrMarkOnly) {
    ExpectCases({
        {"empty", "", ContentVerdict::Empty, false},
        {"byte-order mark only", "\xEF\xBB\xBF", ContentVerdict::NoCallbookLine, false},
        {"UTF-16 mark only", "\xFF\xFE", ContentVerdict::NoCallbookLine, false},
        {"lone mark byte", "\xFE", ContentVerdict::NoCallbookLine, false},
        {"NUL", "versi: 2025\r\n\0"s, ContentVerdict::ContainsNul, false},
    });
}

TEST(CallbookContentCheckTest, rejection_isFinalAndStopsWithoutWaitingForTheEnd) {
    const struct {
        const char* name;
        std::string head;
        ContentVerdict verdict;
    } cases[] = {
        {"html", "<html>", ContentVerdict::HtmlPage},
        {"nul", "versi\0"s, ContentVerdict::ContainsNul},
        {"long line", std::string(kMaxLineBytes + 1, '#'), ContentVerdict::LineTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CallbookContentCheck check;
        check.Feed(c.head);
        EXPECT_TRUE(check.Rejected());
        check.Feed("\r\n" + kCallbook);
        EXPECT_EQ(check.Verdict(), c.verdict);
    }
    CallbookContentCheck odd;
    odd.Feed("a\nb\nc\nd\ne\n");
    EXPECT_FALSE(odd.Rejected()) << "member lines may still outnumber them";
}

TEST(CallbookContentCheckTest, limit_allowsItsOwnSizeAndRejectsOneByteMore) {
    CallbookContentCheck check(kCallbook.size() * 2);
    check.Feed(kCallbook);
    check.Feed(kCallbook);
    EXPECT_FALSE(check.Rejected());
    EXPECT_EQ(check.Verdict(), ContentVerdict::Plausible);
    check.Feed("x");
    EXPECT_TRUE(check.Rejected());
    EXPECT_EQ(check.Verdict(), ContentVerdict::TooLarge);
    EXPECT_EQ(check.Size(), kCallbook.size() * 2 + 1);
}

struct SeenLine {
    std::uint64_t number;
    std::string text;
    bool overlong;
    bool operator==(const SeenLine&) const = default;
};

void PrintTo(const SeenLine& line, std::ostream* out) {
    *out << line.number << (line.overlong ? " (overlong)" : " ")
         << ::testing::PrintToString(line.text);
}

// The lines the check judges, as it cut the body fed in pieces of `piece` bytes; only the
// first ones when it rejected the body, which ends the judging.
std::vector<SeenLine> LinesOfTheCheck(std::string_view body, std::size_t piece, bool& rejected) {
    CallbookContentCheck check;
    std::vector<SeenLine> byLf;
    std::vector<SeenLine> byCr;
    check.ObserveLines([&](LineEnding cutting, const CallbookLine& line) {
        (cutting == LineEnding::LineFeed ? byLf : byCr)
            .push_back({line.number, std::string(line.text), line.overlong});
    });
    for (std::size_t at = 0; at < body.size(); at += piece) {
        check.Feed(body.substr(at, piece));
    }
    std::vector<SeenLine> lines = check.Cutting() == LineEnding::LineFeed ? byLf : byCr;
    rejected = check.Rejected();
    if (const std::optional<CallbookLine> last = check.LastLine(); last && !rejected) {
        lines.push_back({last->number, std::string(last->text), last->overlong});
    }
    return lines;
}

// The window reads what the download installed exactly as the download judged it: the same
// lines, the same ones too long.
TEST(CallbookContentCheckTest, linesJudged_areTheLinesTheReaderSees) {
    const std::string head = "QV27ABC#Budi#Jl#Kota#1#null#baru";
    const std::string longest = head + std::string(kMaxLineBytes - head.size(), 'x');
    const std::string crs(3 * kMaxLineBytes, '\r');
    const std::u16string wide(kMaxLineBytes / 2 - 3, u'\u00E9');
    const Case bodies[] = {
        {"published", kCallbook, {}},
        {"exactly the limit, CR LF", "versi: 1\r\n" + longest + "\r\n" + kCallbook, {}},
        {"exactly the limit, CR CR LF, last", kCallbook + longest + "\r\r\n", {}},
        {"one byte more", kCallbook + longest + "x\r\n" + kCallbook, {}},
        {"long CR run before LF", "a" + crs + "\n" + kCallbook, {}},
        {"long CR run, then data", "a" + crs + "b\n" + kCallbook, {}},
        {"CR only", "versi: 1\rQV27ABC#b#c#d#e#f#g\r\rlast", {}},
        {"CR then LF later", "a\rb\nc", {}},
        {"UTF-8 mark", "\xEF\xBB\xBF" + kCallbook, {}},
        {"UTF-16, broken at the end",
         Utf16(u"versi: 1\r\nQV27ABC#b#c#d#e#f#g\r\n\xD800", false) + "Q",
         {}},
        {"UTF-16 one over the limit",
         Utf16(u"versi: " + wide + u"\r\nQV27ABC#b#c#d#e#f#g", true),
         {}},
        {"UTF-16 at the limit",
         Utf16(u"versi: " + wide.substr(1) + u"x\r\nQV27ABC#b#c#d#e#f#g", true),
         {}},
        {"half a mark", "\xEF\xBB", {}},
    };
    for (const Case& body : bodies) {
        SCOPED_TRACE(body.name);
        testing::TempFolder folder;
        std::vector<SeenLine> read;
        const ScanSummary scan =
            ScanCallbook(folder.Write(body.body), [&](const CallbookLine& line) {
                read.push_back({line.number, std::string(line.text), line.overlong});
                return false;
            });
        ASSERT_EQ(scan.result, ScanResult::Completed);
        for (const std::size_t piece : {body.body.size() + 1, std::size_t{1}, std::size_t{4096}}) {
            bool rejected = false;
            std::vector<SeenLine> judged = LinesOfTheCheck(body.body, piece, rejected);
            if (rejected) {
                // Too long a line ends the judging, at that line or the one being cut.
                ASSERT_LE(judged.size(), read.size()) << "in pieces of " << piece;
                const auto overlong = [](const SeenLine& line) { return line.overlong; };
                EXPECT_TRUE(std::any_of(read.begin(), read.begin() + judged.size(), overlong) ||
                            (judged.size() < read.size() && read[judged.size()].overlong))
                    << "in pieces of " << piece;
                EXPECT_EQ(judged, std::vector(read.begin(), read.begin() + judged.size()))
                    << "in pieces of " << piece;
                continue;
            }
            EXPECT_EQ(judged, read) << "in pieces of " << piece;
        }
    }
}

// Memory stays flat whatever the body: nothing of it is kept.
TEST(CallbookContentCheckTest, feed_neverAllocates) {
    const std::string callbook = Repeat(kCallbook, 2000) + Repeat("catatan\r", 3000);
    const std::string utf16 = Utf16(u"versi: 2025\r\nQV27ABC#b#c#d#e#f#g\r\n", true);
    const std::string longLine(3 * kMaxLineBytes, 'x');
    CallbookContentCheck check;
    CallbookContentCheck wide;
    CallbookContentCheck overlong;
    countAllocations = true;
    for (std::size_t at = 0; at < callbook.size(); at += 777) {
        check.Feed(std::string_view(callbook).substr(at, 777));
    }
    for (const char& c : utf16) {
        wide.Feed(std::string_view(&c, 1));
    }
    overlong.Feed(longLine);
    const ContentVerdict verdicts[] = {check.Verdict(), wide.Verdict(), overlong.Verdict()};
    countAllocations = false;
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(verdicts[0], ContentVerdict::Plausible);
    EXPECT_EQ(verdicts[1], ContentVerdict::Plausible);
    EXPECT_EQ(verdicts[2], ContentVerdict::LineTooLong);
}

}  // namespace
}  // namespace kalvera
