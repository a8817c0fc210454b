// One rule, asked everywhere: on callsigns made here by the hundred (ASCII and other letters,
// upper and lower case, short and long, with other prefixes, blanks around, in Windows-1252),
// the data keepers' check calls a member findable exactly when the tool's lookup of its typed
// suffix finds it, and the download and the check count the members made.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/display_text.h"
#include "core/utf8.h"
#include "queries/callbook_check.h"
#include "queries/callsign_lookup.h"
#include "support/temp_callbook.h"
#include "update/callbook_content_check.h"

namespace kalvera {
namespace {

struct Generated {
    std::string callsign;  // as it stands in the callbook
    std::string typed;     // what a member types to find it: its suffix, without the blanks
    bool member = false;   // made with the shape of a callsign
};

// The cases the rules have tripped over, then random ones.
std::vector<Generated> Generate(std::size_t count) {
    std::vector<Generated> made;
    std::set<std::string> seen;
    const auto add = [&](std::string_view prefix, const std::string& suffix, bool member,
                         std::string_view before = "", std::string_view after = "",
                         bool windows1252 = false) {
        std::string callsign =
            std::string(before) + std::string(prefix) + suffix + std::string(after);
        if (windows1252) {
            const auto ansi = Utf8ToWindows1252(callsign);
            if (!ansi || *ansi == callsign) {
                return;
            }
            callsign = *ansi;
        }
        // A blank alone finds the bare prefix, as the search box searches for it then.
        if (seen.insert(callsign).second) {
            made.push_back({callsign, suffix.empty() ? " " : suffix, member});
        }
    };
    for (const char* suffix : {"ABC", "\xC3\x89", "\xC3\x91", "\u00C4B", "\xC3\xA9", "\xC3\x9F",
                               "SS", "ABCD", "abc", "A1", "12", ""}) {
        add("QV27", suffix, true);
    }
    add("QV28", "ABE", true);
    add("QV27", "ABCDEFGHI", false);
    add("\xEF\xBB\xBFQV27", "XYZ", false);
    // Letters of several scripts and both cases.
    constexpr std::u32string_view kUpper =
        U"ABKSZ\u00C9\u00D1\u00C4\u00D6\u00C7\u00D8\u0414\u0416\u03A9\U00010400\u6885";
    constexpr std::u32string_view kLower = U"abksz\u00E9\u00F1\u00E4\u00DF\u00F8\u0434\U00010428";
    constexpr std::array<std::string_view, 5> kPrefixes = {"QV27", "QV27", "QV27", "qv27", "QV28"};
    std::mt19937 random{2026};
    const auto pick = [&random](std::size_t n) { return random() % n; };
    while (made.size() < count) {
        const std::string_view prefix = kPrefixes[pick(kPrefixes.size())];
        const std::size_t length = pick(11);  // over 8 is too long for a callsign
        const std::size_t mode = pick(3);     // upper case, lower case, mixed
        std::string suffix;
        for (std::size_t i = 0; i < length; ++i) {
            const bool lower = mode == 1 || (mode == 2 && pick(2) == 0);
            // A callsign's suffix starts with a letter: digits after the prefix's are its own.
            if (i > 0 && pick(4) == 0) {
                suffix += static_cast<char>('0' + pick(10));
            } else {
                AppendUtf8(suffix,
                           lower ? kLower[pick(kLower.size())] : kUpper[pick(kUpper.size())]);
            }
        }
        const std::size_t dress = pick(8);
        add(prefix, suffix, length <= 8, dress == 0 ? " " : "", dress == 1 ? "\t" : "", dress == 2);
    }
    return made;
}

TEST(GeneratedCallsigns, checkToolDownloadAndReader_agreeOnEveryMember) {
    const std::vector<Generated> generated = Generate(400);
    std::string text = "Database versi: 2026-12-01\r\n";
    for (std::size_t i = 0; i < generated.size(); ++i) {
        text += generated[i].callsign + "#Nama " + std::to_string(i) +
                "#Jl. Melati#Kota Contoh#0412#2030-01-31#baru\r\n";
    }
    testing::TempFolder folder;
    const auto file = folder.Write(text);

    // Lines the check calls unfindable or no member line at all, by line number.
    std::map<std::uint64_t, std::string> notFindable;
    const CheckResult check = CheckCallbook(file, [&](const CheckFinding& finding) {
        if (finding.kind == CheckKind::UnfindableCallsign || finding.kind == CheckKind::OddLine) {
            notFindable[finding.line] = finding.text;
        }
    });
    ASSERT_FALSE(check.scan.Failure());

    std::uint64_t members = 0;
    for (std::size_t i = 0; i < generated.size(); ++i) {
        const Generated& g = generated[i];
        members += g.member ? 1 : 0;
        const TypedLookup lookup = LookUpTyped(file, g.typed);
        const bool toolFinds = lookup.result.found && lookup.result.details[0] == g.callsign;
        const auto finding = notFindable.find(i + 2);
        EXPECT_EQ(finding == notFindable.end(), toolFinds)
            << ToDisplayText(g.callsign) << " typed as " << g.typed << ": "
            << (finding == notFindable.end() ? "no finding" : finding->second);
    }

    CallbookContentCheck download;
    download.Feed(text);
    EXPECT_EQ(download.MemberLines(), members);
    EXPECT_EQ(check.counts[static_cast<std::size_t>(CheckKind::OddLine)],
              generated.size() - members);
}

}  // namespace
}  // namespace kalvera
