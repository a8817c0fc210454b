// One rule, asked everywhere: on callsigns made here by the hundred (ASCII and other letters,
// upper and lower case, short and long, with other prefixes, blanks around, in Windows-1252),
// the data keepers' check calls a member findable exactly when the tool's lookup of its typed
// suffix finds it, and the download counts as many members as the reader.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/callbook_reader.h"
#include "core/display_text.h"
#include "queries/callbook_check.h"
#include "queries/callsign_lookup.h"
#include "support/temp_callbook.h"
#include "update/callbook_content_check.h"

namespace kalvera {
namespace {

using testing::TempFolder;

struct Generated {
    std::string callsign;  // as it stands in the callbook
    std::string typed;     // what a member types to find it: its suffix, without the blanks
    bool member = false;   // made with the shape of a callsign
};

// Letters of several scripts and both cases, and digits.
constexpr std::array<std::string_view, 16> kUpper = {
    "A",           "B",        "K",        "S",        "Z",
    "\xC3\x89",    "\xC3\x91", "\xC3\x84", "\xC3\x96", "\xC3\x87",
    "\xC3\x98",    "\xD0\x94", "\xD0\x96", "\xCE\xA9", "\xF0\x90\x90\x80",
    "\xE6\xA2\x85"};
constexpr std::array<std::string_view, 12> kLower = {
    "a",        "b",        "k",        "s",        "z",        "\xC3\xA9",
    "\xC3\xB1", "\xC3\xA4", "\xC3\x9F", "\xC3\xB8", "\xD0\xB4", "\xF0\x90\x90\xA8"};
constexpr std::string_view kDigits = "0123456789";

class Generator {
  public:
    // The cases the rules have tripped over, then random ones.
    std::vector<Generated> Make(std::size_t count) {
        for (const char* suffix : {"ABC", "\xC3\x89", "\xC3\x91",
                                   "\xC3\x84"
                                   "B",
                                   "\xC3\xA9", "\xC3\x9F", "SS", "ABCD", "abc", "A1"}) {
            Add("QV27", suffix, "", "", true);
        }
        Add("QV27", "", "", "", true);
        Add("QV28", "ABE", "", "", true);
        Add("QV27", "ABCDEFGHI", "", "", false);
        Add("\xEF\xBB\xBFQV27", "XYZ", "", "", false);
        while (made_.size() < count) {
            Random();
        }
        return made_;
    }

  private:
    std::size_t Pick(std::size_t n) { return random_() % n; }

    void Random() {
        static constexpr std::array<std::string_view, 5> kPrefixes = {"QV27", "QV27", "QV27",
                                                                      "qv27", "QV28"};
        const std::string_view prefix = kPrefixes[Pick(kPrefixes.size())];
        const std::size_t length = Pick(11);  // over 8 is too long for a callsign
        const std::size_t mode = Pick(3);     // upper case, lower case, mixed
        std::string suffix;
        for (std::size_t i = 0; i < length; ++i) {
            const bool lower = mode == 1 || (mode == 2 && Pick(2) == 0);
            // A callsign's suffix starts with a letter: digits after the prefix's are its own.
            if (i > 0 && Pick(4) == 0) {
                suffix += kDigits[Pick(kDigits.size())];
            } else {
                suffix += lower ? kLower[Pick(kLower.size())] : kUpper[Pick(kUpper.size())];
            }
        }
        const std::size_t dress = Pick(8);
        Add(prefix, suffix, dress == 0 ? " " : "", dress == 1 ? "\t" : "", length <= 8, dress == 2);
    }

    void Add(std::string_view prefix, std::string_view suffix, std::string_view before,
             std::string_view after, bool member, bool windows1252 = false) {
        std::string callsign =
            std::string(before) + std::string(prefix) + std::string(suffix) + std::string(after);
        if (windows1252) {
            const auto ansi = Utf8ToWindows1252(callsign);
            if (!ansi || *ansi == callsign) {
                return;
            }
            callsign = *ansi;
        }
        // A blank alone finds the bare prefix, as the search box searches for it then.
        if (seen_.insert(callsign).second) {
            made_.push_back({callsign, suffix.empty() ? " " : std::string(suffix), member});
        }
    }

    std::mt19937 random_{2026};
    std::set<std::string> seen_;
    std::vector<Generated> made_;
};

TEST(GeneratedCallsigns, checkToolDownloadAndReader_agreeOnEveryMember) {
    const std::vector<Generated> generated = Generator().Make(400);
    std::string text = "Database versi: 2026-12-01\r\n";
    for (std::size_t i = 0; i < generated.size(); ++i) {
        text += generated[i].callsign + "#Nama " + std::to_string(i) +
                "#Jl. Melati#Kota Contoh#0412#2030-01-31#baru\r\n";
    }
    TempFolder folder;
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
    std::uint64_t read = 0;
    ASSERT_FALSE(ReadCallbook(file, [&](std::string_view line) {
                     read += IsMemberLine(line) ? 1 : 0;
                     return false;
                 }).Failure());
    EXPECT_EQ(download.MemberLines(), members);
    EXPECT_EQ(read, members);
    EXPECT_EQ(check.counts[static_cast<std::size_t>(CheckKind::OddLine)],
              generated.size() - members);
}

}  // namespace
}  // namespace kalvera
