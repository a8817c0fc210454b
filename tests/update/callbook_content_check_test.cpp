#include "update/callbook_content_check.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace kalvera {
namespace {

constexpr std::string_view kMemberLine =
    "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r\n";

ContentVerdict Judge(std::string_view body) {
    CallbookContentCheck check;
    check.Feed(body);
    return check.Verdict();
}

// Feeds the body one byte at a time, the worst split a network can produce.
ContentVerdict JudgeBytewise(std::string_view body) {
    CallbookContentCheck check;
    for (char c : body) {
        check.Feed(std::string_view(&c, 1));
    }
    return check.Verdict();
}

TEST(CallbookContentCheckTest, memberLine_isPlausible) {
    EXPECT_EQ(Judge(kMemberLine), ContentVerdict::Plausible);
}

TEST(CallbookContentCheckTest, versionLineAlone_isPlausible) {
    EXPECT_EQ(Judge("Database versi: 2025-06-01\r\n"), ContentVerdict::Plausible);
}

TEST(CallbookContentCheckTest, lastLineWithoutTerminator_counts) {
    EXPECT_EQ(Judge("catatan\r\na#b#c#d#e#f#g"), ContentVerdict::Plausible);
}

TEST(CallbookContentCheckTest, nothingFed_isEmpty) {
    CallbookContentCheck check;
    EXPECT_EQ(check.Verdict(), ContentVerdict::Empty);
    check.Feed("");
    EXPECT_EQ(check.Verdict(), ContentVerdict::Empty);
}

TEST(CallbookContentCheckTest, lineWithSixFields_isNoCallbookLine) {
    EXPECT_EQ(Judge("a#b#c#d#e#f\r\n"), ContentVerdict::NoCallbookLine);
}

TEST(CallbookContentCheckTest, separatorsSpreadOverLines_doNotAddUp) {
    EXPECT_EQ(Judge("a#b#c#d\r\ne#f#g#h\r\n"), ContentVerdict::NoCallbookLine);
}

TEST(CallbookContentCheckTest, versionMarkerInOtherCase_isNoCallbookLine) {
    EXPECT_EQ(Judge("Database Versi: 2025\r\n"), ContentVerdict::NoCallbookLine);
}

TEST(CallbookContentCheckTest, versionMarkerWithoutBlank_isNoCallbookLine) {
    EXPECT_EQ(Judge("Database versi:2025\r\n"), ContentVerdict::NoCallbookLine);
}

TEST(CallbookContentCheckTest, versionMarkerSplitByLineEnd_isNoCallbookLine) {
    EXPECT_EQ(Judge("Database ver\nsi: 2025\r\n"), ContentVerdict::NoCallbookLine);
}

TEST(CallbookContentCheckTest, versionMarkerAfterFalseStart_isFound) {
    EXPECT_EQ(Judge("versversi: 2025"), ContentVerdict::Plausible);
}

TEST(CallbookContentCheckTest, bodyFedBytewise_isJudgedAsWhole) {
    EXPECT_EQ(JudgeBytewise(kMemberLine), ContentVerdict::Plausible);
    EXPECT_EQ(JudgeBytewise("Database versi: 1\r\n"), ContentVerdict::Plausible);
    EXPECT_EQ(JudgeBytewise("\xEF\xBB\xBF <html>a#b#c#d#e#f#g"), ContentVerdict::HtmlPage);
    EXPECT_EQ(JudgeBytewise("a#b#c\r\nd#e#f#g\r\n"), ContentVerdict::NoCallbookLine);
}

TEST(CallbookContentCheckTest, nulByteAnywhere_isRejected) {
    std::string body(kMemberLine);
    body += std::string("Database versi: 1\0\r\n", 20);
    CallbookContentCheck check;
    check.Feed(body);
    EXPECT_TRUE(check.Rejected());
    EXPECT_EQ(check.Verdict(), ContentVerdict::ContainsNul);
}

TEST(CallbookContentCheckTest, doctypeInAnyCase_isHtmlPage) {
    EXPECT_EQ(Judge("<!DOCTYPE html>\n<p>a#b#c#d#e#f#g</p>"), ContentVerdict::HtmlPage);
    EXPECT_EQ(Judge("<!doctype HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">"),
              ContentVerdict::HtmlPage);
}

TEST(CallbookContentCheckTest, htmlAfterByteOrderMarkAndBlanks_isHtmlPage) {
    CallbookContentCheck check;
    check.Feed("\xEF\xBB\xBF\r\n \t");
    EXPECT_FALSE(check.Rejected());
    check.Feed("<Ht");
    check.Feed("ml lang=\"id\">");
    EXPECT_TRUE(check.Rejected());
    EXPECT_EQ(check.Verdict(), ContentVerdict::HtmlPage);
}

TEST(CallbookContentCheckTest, htmlLaterInFile_isNotHtmlPage) {
    std::string body(kMemberLine);
    body += "<html>\r\n";
    EXPECT_EQ(Judge(body), ContentVerdict::Plausible);
}

TEST(CallbookContentCheckTest, bodyStartingLikeHtmlTagButNotOne_isJudgedByItsLines) {
    EXPECT_EQ(Judge("<htm#b#c#d#e#f#g\r\n"), ContentVerdict::Plausible);
    EXPECT_EQ(Judge("<h"), ContentVerdict::NoCallbookLine);
}

TEST(CallbookContentCheckTest, halfByteOrderMark_isNotTakenForOne) {
    EXPECT_EQ(Judge("\xEF\xBB<html>"), ContentVerdict::NoCallbookLine);
}

TEST(CallbookContentCheckTest, bodyUpToLimit_isPlausible) {
    CallbookContentCheck check(kMemberLine.size() * 3);
    for (int i = 0; i < 3; ++i) {
        check.Feed(kMemberLine);
    }
    EXPECT_FALSE(check.Rejected());
    EXPECT_EQ(check.Verdict(), ContentVerdict::Plausible);
    EXPECT_EQ(check.Size(), kMemberLine.size() * 3);
}

TEST(CallbookContentCheckTest, oneByteOverLimit_isTooLarge) {
    CallbookContentCheck check(kMemberLine.size() * 3);
    for (int i = 0; i < 3; ++i) {
        check.Feed(kMemberLine);
    }
    check.Feed("x");
    EXPECT_TRUE(check.Rejected());
    EXPECT_EQ(check.Verdict(), ContentVerdict::TooLarge);
}

TEST(CallbookContentCheckTest, defaultLimit_is64MiB) {
    EXPECT_EQ(kMaxCallbookBytes, 67108864u);
}

}  // namespace
}  // namespace kalvera
