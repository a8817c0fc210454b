// kalvera-callbook: the window's queries on the command line, for scripts, benchmarks and
// the chapter's data keepers. Output is UTF-8, one item per line.

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "checked_output.h"
#include "core/callbook_path.h"
#include "core/civil_date.h"
#include "core/display_text.h"
#include "core/platform.h"
#include "kalvera/version.h"
#include "queries/callbook_check.h"
#include "queries/callsign_lookup.h"
#include "queries/messages.h"
#include "queries/region_list.h"
#include "queries/search_text.h"
#include "queries/version_banner.h"
#include "tool_arguments.h"

namespace {

using namespace kalvera;

constexpr std::string_view kProgramName = "kalvera-callbook";

constexpr int kExitFound = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitFileMissing = 2;
constexpr int kExitUsage = 64;        // EX_USAGE
constexpr int kExitOutputError = 74;  // EX_IOERR

constexpr std::string_view kUsage =
    R"(Usage: kalvera-callbook SUBCOMMAND FILE [KEY | REGION] [OPTIONS]

Answers the queries of the Kalvera window on the command line. FILE is a
callbook (log.txt). Output is UTF-8, one item per line.

Subcommands:
  lookup FILE KEY      The member whose callsign is KEY: seven lines (callsign,
                       name, address, regency or city, member number, valid
                       until as dd-mm-yyyy or "-", status or an empty line),
                       then the status colour as #RRGGBB (#FFFFFF for none).
                       No such member: the line "{prefix}XYZ tidak ditemukan!",
                       with the whole callsign that was searched for.
  regions FILE         The regencies and cities, in the order they first
                       appear. Short lines (under four fields) before the
                       first region, such as a version line at the top, give
                       an empty first line, as they give the window's list an
                       empty first entry. The list stops at 10000 entries or
                       1 MiB of text, as the window's does; standard error
                       then says so.
  listing FILE REGION  One row per member of REGION: callsign | name |
                       address | region | number | valid until, then " | "
                       and the status when the member has one.
  version FILE         The last version line as the window shows it, between
                       "Database " and " WIB", or nothing when there is none.
  check FILE           For data keepers: reads the callbook as the window does
                       and reports what the window would show wrongly or never,
                       one finding a line, as "FILE:LINE: error: TEXT" or
                       "FILE:LINE: warning: TEXT" ("FILE: warning: TEXT" for
                       the whole file). Nothing when all is well.

KEY is what one types into the window's search box, read as the box reads it:
a callsign's suffix in any letter case, spaces around it dropped ("bgs" finds
{prefix}BGS, "é" finds {prefix}É), or a whole callsign, {prefix} and all, in any letter
case. The window searches for nothing when the box is empty, holds a number
("12") or would have to hold more than its {box} characters ("abcd"), and nor
does the tool: one line on standard error says why, exit status 1.
With --exact, KEY is the whole callsign, byte for byte, whatever its length.
REGION is a regency or city as "regions" prints it; it is found whether the
callbook is saved in UTF-8 or in Windows-1252.

Options (anywhere after the subcommand):
  --today YYYY-MM-DD   lookup, listing: the day the status is worked out for
                       (default: today, local time): a real date, with a
                       four-digit year and a two-digit month and day. On the
                       valid-until day itself a member with no stored status
                       word has a blank status, as the window shows it
                       (lookup: an empty line and #FFFFFF; listing: nothing
                       after the date).
  --exact              lookup: use KEY as given, byte for byte
  --summary            check: one count per kind of finding on standard error
  -h, --help           show this text
  --version            show the version
  --                   what follows is KEY or REGION even if it starts with -

Exit status:
  0   found (lookup, listing), done (regions, version), nothing to report
      (check)
  1   not found: no member with that callsign, or a KEY the window searches
      nothing for (lookup); no member in REGION (listing; "REGION tidak
      ditemukan!" on standard error); or findings (check)
  2   no callbook at FILE ("Database tidak ditemukan!" on standard error),
      or reading it failed part-way (the error on standard error)
  64  wrong arguments (one line on standard error says what is wrong)
  74  the output could not be written, e.g. to a full disk (a reader that
      closes the pipe early ends the program quietly)
)";

// What went wrong, on one line, with a pointer to the full usage.
int UsageError(std::string_view problem) {
    std::fprintf(stderr, "%.*s: %.*s (try '%.*s --help')\n", static_cast<int>(kProgramName.size()),
                 kProgramName.data(), static_cast<int>(problem.size()), problem.data(),
                 static_cast<int>(kProgramName.size()), kProgramName.data());
    return kExitUsage;
}

void ErrorLine(std::string_view text) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

// The answer when the callbook is missing or reading it failed part-way: what was read may
// not be all there is, so no answer is given.
int Unread(std::string_view file, const ReadFailure& failure) {
    if (failure.missing) {
        ErrorLine(kMissingCallbookMessage);
    } else {
        ErrorLine(std::string(kProgramName) + ": " + std::string(file) +
                  ": read error: " + failure.error);
    }
    return kExitFileMissing;
}

// The usage text with the prefix and the search box's length filled in.
std::string Usage() {
    std::string text(kUsage.substr(0, kUsage.size() - 1));
    const auto fill = [&text](std::string_view name, std::string_view value) {
        for (std::size_t at; (at = text.find(name)) != std::string::npos;) {
            text.replace(at, name.size(), value);
        }
    };
    fill("{prefix}", kCallsignPrefix);
    fill("{box}", std::to_string(kSearchBoxLength));
    return text;
}

std::string HexColour(const Rgb& colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour.red, colour.green, colour.blue);
    return text;
}

// Why the window searches for nothing when `typed` stands in its search box.
std::string Refused(const std::string& typed, SearchRefusal refusal) {
    switch (refusal) {
        case SearchRefusal::Empty:
            return "KEY is empty; the window searches for nothing then";
        case SearchRefusal::Numeric:
            return "KEY \"" + typed + "\" is a number; the window searches for nothing then";
        case SearchRefusal::TooLong:
            return "KEY \"" + typed + "\" is longer than the " + std::to_string(kSearchBoxLength) +
                   " characters the search box holds after " + std::string(kCallsignPrefix) +
                   "; the window cannot search for it";
        case SearchRefusal::None:
            break;
    }
    return {};
}

int Lookup(const ParsedArguments& args, CheckedOutput& out) {
    const std::string& typed = args.operands[1];
    const std::filesystem::path file = PathFromUtf8(args.operands[0]);
    const CivilDate today = args.today.value_or(LocalToday());
    TypedLookup lookup;
    if (args.exact) {
        lookup.search.callsign = typed;
        lookup.result = QueryCallsign(file, typed, today);
    } else {
        lookup = LookUpTyped(file, typed, today);
    }
    if (lookup.search.refusal != SearchRefusal::None) {
        ErrorLine(std::string(kProgramName) + ": " + Refused(typed, lookup.search.refusal));
        return kExitNotFound;
    }
    const LookupResult& result = lookup.result;
    if (result.failure) {
        return Unread(args.operands[0], *result.failure);
    }
    if (!result.found) {
        out.Line(NotFoundLine(lookup.search.callsign));
        return kExitNotFound;
    }
    for (const std::string& text : result.details) {
        out.Line(text);
    }
    out.Line(HexColour(result.statusColour.value_or(kWhite)));
    return kExitFound;
}

int Regions(const ParsedArguments& args, CheckedOutput& out) {
    const RegionList list = QueryRegions(PathFromUtf8(args.operands[0]));
    if (list.failure) {
        return Unread(args.operands[0], *list.failure);
    }
    for (const std::string& region : list.regions) {
        out.Line(ToDisplayText(region));
    }
    if (list.cutAt != RegionLimit::None) {
        ErrorLine(std::string(kProgramName) + ": regions: the list stops at " +
                  (list.cutAt == RegionLimit::Count
                       ? std::to_string(kMaxRegions) + " regions"
                       : std::to_string(kMaxRegionBytes / (1024 * 1024)) + " MiB of region names") +
                  ", as the window's does; " + args.operands[0] + " holds more");
    }
    return kExitFound;
}

int Listing(const ParsedArguments& args, CheckedOutput& out) {
    // `regions` prints UTF-8, so a name copied from it must also find a callbook saved in
    // Windows-1252.
    const std::string& region = args.operands[1];
    std::vector<std::string> spellings{region};
    if (auto ansi = Utf8ToWindows1252(region); ansi && *ansi != region) {
        spellings.push_back(std::move(*ansi));
    }
    // Rows go out as they are found: a large region never sits in memory whole.
    bool anyRow = false;
    const ScanSummary scan =
        ForEachRegionMember(PathFromUtf8(args.operands[0]), spellings,
                            args.today.value_or(LocalToday()), [&](const std::string& row) {
                                anyRow = true;
                                out.Line(row);
                            });
    if (const auto failure = scan.Failure()) {
        return Unread(args.operands[0], *failure);
    }
    if (!anyRow) {
        ErrorLine(NotFoundLine(ToDisplayText(region)));
        return kExitNotFound;
    }
    return kExitFound;
}

int Version(const ParsedArguments& args, CheckedOutput& out) {
    const VersionBanner banner = QueryDatabaseVersion(PathFromUtf8(args.operands[0]));
    if (banner.failure) {
        return Unread(args.operands[0], *banner.failure);
    }
    if (banner.caption) {
        out.Line(*banner.caption);
    }
    return kExitFound;
}

int Check(const ParsedArguments& args, CheckedOutput& out) {
    const std::string& file = args.operands[0];
    std::string line;
    const CheckResult result = CheckCallbook(PathFromUtf8(file), [&](const CheckFinding& finding) {
        line.assign(file);
        if (finding.line != 0) {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, finding.line).ptr;
            line.append(":").append(digits, end);
        }
        line.append(IsError(finding.kind) ? ": error: " : ": warning: ").append(finding.text);
        out.Line(line);
    });
    if (const auto failure = result.scan.Failure()) {
        return Unread(file, *failure);
    }
    std::uint64_t findings = 0;
    for (std::size_t kind = 0; kind < kCheckKindCount; ++kind) {
        const std::uint64_t count = result.counts[kind];
        findings += count;
        if (args.summary && count > 0) {
            const auto which = static_cast<CheckKind>(kind);
            ErrorLine(std::to_string(count) + (IsError(which) ? " error" : " warning") +
                      (count == 1 ? "" : "s") + ": " + std::string(KindName(which)));
        }
    }
    return findings == 0 ? kExitFound : kExitNotFound;
}

constexpr std::array kSubcommands = {
    Subcommand{"lookup", {"FILE", "KEY"}, kTodayOption | kExactOption, Lookup},
    Subcommand{"regions", {"FILE", ""}, 0, Regions},
    Subcommand{"listing", {"FILE", "REGION"}, kTodayOption, Listing},
    Subcommand{"version", {"FILE", ""}, 0, Version},
    Subcommand{"check", {"FILE", ""}, kSummaryOption, Check},
};

int Run(const std::vector<std::string>& arguments, CheckedOutput& out) {
    const ParsedArguments parsed =
        ParseArguments(std::span(arguments).subspan(1), std::span(kSubcommands));
    if (parsed.help) {
        out.Line(Usage());
        return kExitFound;
    }
    if (parsed.version) {
        out.Line(std::string(kProgramName) + " " + KALVERA_VERSION_TEXT);
        return kExitFound;
    }
    if (!parsed.error.empty()) {
        return UsageError(parsed.error);
    }
    return parsed.subcommand->run(parsed, out);
}

}  // namespace

int main(int argc, char** argv) {
    platform::UseBinaryStandardStreams();
    const std::vector<std::string> arguments = platform::Utf8Arguments(argc, argv);
    CheckedOutput out(stdout);
    const int code = Run(arguments, out);
    if (const int error = out.Finish(); error != 0) {
        if (platform::IsClosedPipe(error)) {
            EndAsClosedPipe();
        } else {
            const std::string problem =
                std::string(kProgramName) + ": cannot write the output: " + std::strerror(error);
            ErrorLine(problem);
        }
        return kExitOutputError;
    }
    return code;
}
