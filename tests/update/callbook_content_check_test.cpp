// What the download accepts as a callbook: one table of bodies, each judged fed whole and split
// at many places. That the check cuts a body into the lines the window's reader sees in the file
// is the fuzz target's to show (fuzz/callbook_fuzzer.cpp), on any bytes.

#include "update/callbook_content_check.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "support/temp_callbook.h"

namespace kalvera {

void PrintTo(ContentVerdict verdict, std::ostream* out) {
    *out << Describe(verdict);
}

namespace {

using namespace std::string_literals;
using enum ContentVerdict;
using testing::Repeated;
using testing::Utf16;

const std::string kMember = "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan";
const std::string kCallbook = "Database versi: 2025-06-01 10:00\r\n" + kMember + "\r\n";

// The verdict, the member lines (0 once rejected: how many were counted depends on the pieces)
// and whether the text ends with a line end.
using Judged = std::tuple<ContentVerdict, std::uint64_t, bool>;

// The verdicts that no byte more can change: the body is rejected at once.
bool Final(ContentVerdict verdict) {
    return verdict == TooLarge || verdict == ContainsNul || verdict == HtmlPage ||
           verdict == LineTooLong;
}

// Feeds `body` in pieces of `piece` bytes (0: whole): the judgement.
Judged FedInPiecesOf(std::string_view body, std::size_t piece) {
    CallbookContentCheck check;
    bool rejected = false;
    for (std::size_t at = 0; at < body.size(); at += piece == 0 ? body.size() : piece) {
        check.Feed(body.substr(at, piece == 0 ? body.size() : piece));
        EXPECT_TRUE(!rejected || check.Rejected()) << "a rejected body is rejected for good";
        rejected = check.Rejected();
    }
    EXPECT_EQ(rejected, Final(check.Verdict())) << "rejected when more bytes change nothing";
    return {check.Verdict(), rejected ? 0 : check.MemberLines(), check.EndsWithLineEnd()};
}

TEST(CallbookContentCheck, judgesEachBody_whereverTheTransferCutsIt) {
    const std::string m = kMember + "\r\n";
    const std::string longest = "versi: " + std::string(kMaxLineBytes - 7, 'x');
    const std::string longestMember = kMember + std::string(kMaxLineBytes - kMember.size(), 'x');
    const std::string crs(3 * kMaxLineBytes, '\r');
    // Each U+00E9 takes two bytes in UTF-8: 7 + 2 * 32765 bytes, though 32772 characters.
    const std::u16string wide(kMaxLineBytes / 2 - 3, u'\u00E9');
    const std::u16string callbook16 =
        u"Database versi: 2025\r\nQV27ABC#B\u00FCdi#Jl. \u6885 7#Kab. Contoh#0412#null#baru\r\n";
    const std::string portal =
        "<head><title>Masuk</title><style>a{color:#111}</style></head>\r\n"
        "<body><form>QV27ABC#b#c#d#e#f#g</form>\r\n#######\r\n";
    const std::pair<std::string, Judged> bodies[] = {
        {kCallbook, {Plausible, 1, true}},
        {m + m + kMember, {Plausible, 3, false}},
        {"versi: 2025\n" + m + "\n", {Plausible, 1, true}},
        {"\xEF\xBB\xBF" + kCallbook, {Plausible, 1, true}},
        {"\r\n \t\r\n" + kCallbook + "\r\n\r\n", {Plausible, 1, true}},
        {"QV27ABC#versi: 1#c#d#e#f#g\r\n", {Plausible, 1, true}},
        {"a{color:#111}#b#c#d#e#f#g\r\n", {NoCallbookLine, 0, true}},
        {"QV27ABC#b#c#d\r\ne#f#g#h\r\n", {NoCallbookLine, 0, true}},
        {"versi: 2025\r\n", {NoMemberLine, 0, true}},
        {"Mohon maaf.\r\nGunakan aplikasi versi: terbaru.\r\n", {NoMemberLine, 0, true}},
        {"Database ver\nsi: 2025\r\n", {NoCallbookLine, 0, true}},
        {"ver\rsi: 1\n", {NoCallbookLine, 0, true}},
        {"\r\rversi: 2025\n" + m + "\n", {Plausible, 1, true}},
        // Odd lines: three, or one in a hundred.
        {"Daftar\r\ncatatan\r\n----\r\n" + m, {Plausible, 1, true}},
        {"Daftar\r\ncatatan\r\n----\r\n====\r\n" + m, {TooManyOddLines, 1, true}},
        {Repeated(m, 400) + Repeated("catatan\r\n", 4), {Plausible, 400, true}},
        {Repeated(m, 400) + Repeated("catatan\r\n", 5), {TooManyOddLines, 400, true}},
        {m + "a\r\nb\r\nc\r\nd", {TooManyOddLines, 1, false}},
        {"Maaf, berkas tidak tersedia.\r\nCoba lagi#nanti\r\n", {NoCallbookLine, 0, true}},
        // Captive portals, hosting placeholders and error pages come with status 200.
        {portal + Repeated(m, 500), {HtmlPage, 0, false}},
        {"<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\">", {HtmlPage, 0, false}},
        {"\xEF\xBB\xBF\r\n \t<Html lang=\"id\">\r\n" + kCallbook, {HtmlPage, 0, false}},
        {kCallbook + "<SCRIPT>x()</script>\r\n", {HtmlPage, 0, false}},
        {kCallbook + "<<body>\r\n", {HtmlPage, 0, false}},
        {"<htm#b#c#d#e#f#g\r\n" + kCallbook, {Plausible, 1, true}},
        {Repeated(kCallbook, 100) + "<style>\r\n", {Plausible, 100, true}},
        {"\xEF\xBB<html>", {HtmlPage, 0, false}},
        {Utf16(u"<html><body>QV27ABC#b#c#d#e#f#g</body></html>\r\n", false), {HtmlPage, 0, false}},
        // Editors save the callbook in more ways than CR LF in 8 bits.
        {Utf16(callbook16, false), {Plausible, 1, true}},
        {Utf16(callbook16, true), {Plausible, 1, true}},
        {Utf16(u"versi: 2025\rQV27ABC#b#c#d#e#f#g", false), {Plausible, 1, false}},
        {Utf16(callbook16, false) + "Q", {BrokenUtf16, 1, false}},
        {Utf16(u"versi: 1\r\nQV27ABC#b#c#d#e#f#g\r\n\xD800", false) + "Q", {BrokenUtf16, 1, false}},
        {Utf16(callbook16, false).substr(2), {ContainsNul, 0, false}},
        {Utf16(u"versi: 2025\r\n\u0000\r\n"s, true), {ContainsNul, 0, false}},
        // U+2323 is the bytes "##": separators only to a reader that ignores the encoding.
        {Utf16(u"QV27ABC\u2323\u2323\u2323\r\n", false), {NoCallbookLine, 0, true}},
        {"versi: 2025\rQV27ABC#b#c#d#e#f#g\r", {Plausible, 1, true}},
        {"versi: 1\rQV27ABC#b#c#d#e#f#g\r\rlast", {Plausible, 1, false}},
        {"versi: 2025\r\r\nQV27ABC#b#c#d#e#f#g\r\r\r\n", {Plausible, 1, true}},
        // With an LF anywhere lines end at LF, and a CR inside a line is data.
        {"catatan\rQV27ABC#b#c#d#e#f#g\n", {NoCallbookLine, 0, true}},
        {"a\rb\nc", {NoCallbookLine, 0, false}},
        {"versi: 2025\r\nQV27ABC#b#c#d#e#f#g\r", {Plausible, 1, false}},
        {"QV27ABC#b#c#d#e#f#g", {Plausible, 1, false}},
        {Utf16(u"versi: 2025\rQV27ABC#b#c#d#e#f#g\r", true), {Plausible, 1, true}},
        // The longest line is kMaxLineBytes, counted without its line end.
        {longest + "\r\r\n" + kCallbook, {Plausible, 1, true}},
        {"versi: 1\r\n" + longestMember + "\r\n" + kCallbook, {Plausible, 2, true}},
        {kCallbook + longestMember + "\r\r\n", {Plausible, 2, true}},
        {longest + "x\r\n" + kCallbook, {LineTooLong, 0, false}},
        {kCallbook + longest + "x", {LineTooLong, 0, false}},
        {Utf16(u"versi: " + wide + u"\r\nQV27ABC#b#c#d#e#f#g", true), {LineTooLong, 0, false}},
        {Utf16(u"versi: " + wide.substr(1) + u"x\r\nQV27ABC#b#c#d#e#f#g", true),
         {Plausible, 1, false}},
        {longest + "\rx\n", {LineTooLong, 0, false}},
        {"a" + crs + "\n" + kCallbook, {Plausible, 1, true}},
        {"a" + crs + "b\n" + kCallbook, {LineTooLong, 0, false}},
        // Long only when cut at LF: fine as long as no LF comes.
        {Repeated("QV27ABC#b#c#d#e#f#g\r", 5000), {Plausible, 5000, true}},
        {Repeated("QV27ABC#b#c#d#e#f#g\r", 5000) + "\n", {LineTooLong, 0, false}},
        // Small bodies.
        {"", {Empty, 0, false}},
        {"\xEF\xBB\xBF", {NoCallbookLine, 0, false}},
        {"\xFF\xFE", {NoCallbookLine, 0, false}},
        {"\xFE", {NoCallbookLine, 0, false}},
        {"\xEF\xBB", {NoCallbookLine, 0, false}},
        {"versi\0\r\n"s + kCallbook, {ContainsNul, 0, false}},
    };
    for (const auto& [bytes, expected] : bodies) {
        SCOPED_TRACE(::testing::PrintToString(bytes.substr(0, 80)));
        for (const std::size_t piece : {0, 1, 2, 3, 5, 7, 4096}) {
            EXPECT_EQ(FedInPiecesOf(bytes, piece), expected) << "in pieces of " << piece;
        }
    }
}

TEST(CallbookContentCheck, limit_allowsItsOwnSizeAndRejectsOneByteMore) {
    CallbookContentCheck check(kCallbook.size() * 2);
    check.Feed(kCallbook);
    check.Feed(kCallbook);
    EXPECT_EQ(check.Verdict(), Plausible);
    check.Feed("xy");
    EXPECT_EQ(check.Verdict(), TooLarge);
    EXPECT_TRUE(check.Rejected());
    EXPECT_EQ(check.Size(), kCallbook.size() * 2 + 2);
}

}  // namespace
}  // namespace kalvera
