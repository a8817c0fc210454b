// The judgements a whole download cannot pin down: where lines, markers and chunks split.

#include "update/callbook_content_check.h"

#include <gtest/gtest.h>

#include <string_view>

namespace kalvera {
namespace {

constexpr std::string_view kMemberLine =
    "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r\n";

TEST(CallbookContentCheckTest, verdict_isTheSameWholeOrFedBytewise) {
    const struct {
        std::string_view body;
        ContentVerdict verdict;
    } cases[] = {
        {"catatan\r\na#b#c#d#e#f#g", ContentVerdict::Plausible},
        {"a#b#c#d#e#f\r\n", ContentVerdict::NoCallbookLine},
        {"a#b#c#d\r\ne#f#g#h\r\n", ContentVerdict::NoCallbookLine},
        {"Database versi: 2025\r\n", ContentVerdict::Plausible},
        {"Database Versi: 2025\r\n", ContentVerdict::NoCallbookLine},
        {"Database versi:2025\r\n", ContentVerdict::NoCallbookLine},
        {"Database ver\nsi: 2025\r\n", ContentVerdict::NoCallbookLine},
        {"versversi: 2025", ContentVerdict::Plausible},
        {"<!doctype HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">", ContentVerdict::HtmlPage},
        {"\xEF\xBB\xBF\r\n \t<Html lang=\"id\">a#b#c#d#e#f#g", ContentVerdict::HtmlPage},
        {"\xEF\xBB<html>", ContentVerdict::NoCallbookLine},
        {"<htm#b#c#d#e#f#g\r\n", ContentVerdict::Plausible},
        {"QV27ABC#Budi#Jl. 7#Kab. Contoh#0412#null#\r\n<html>\r\n", ContentVerdict::Plausible},
    };
    for (const auto& [body, verdict] : cases) {
        SCOPED_TRACE(body);
        CallbookContentCheck whole;
        whole.Feed(body);
        EXPECT_EQ(whole.Verdict(), verdict);
        CallbookContentCheck bytewise;
        for (const char& c : body) {
            bytewise.Feed(std::string_view(&c, 1));
        }
        EXPECT_EQ(bytewise.Verdict(), verdict);
    }
}

TEST(CallbookContentCheckTest, limit_allowsItsOwnSizeAndRejectsOneByteMore) {
    CallbookContentCheck check(kMemberLine.size() * 2);
    check.Feed(kMemberLine);
    check.Feed(kMemberLine);
    EXPECT_FALSE(check.Rejected());
    EXPECT_EQ(check.Verdict(), ContentVerdict::Plausible);
    check.Feed("x");
    EXPECT_TRUE(check.Rejected());
    EXPECT_EQ(check.Verdict(), ContentVerdict::TooLarge);
}

}  // namespace
}  // namespace kalvera
