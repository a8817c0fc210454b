// kalvera-callbook: the window's queries on the command line, for scripts, benchmarks and
// the chapter's data keepers. Output is UTF-8, one item per line.

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "core/callbook_path.h"
#include "core/civil_date.h"
#include "core/display_text.h"
#include "queries/callsign_lookup.h"
#include "queries/messages.h"
#include "queries/region_list.h"
#include "queries/version_banner.h"

namespace {

using namespace kalvera;

constexpr int kExitFound = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitFileMissing = 2;
constexpr int kExitUsage = 64;

constexpr std::string_view kUsage =
    "Usage:\n"
    "  kalvera-callbook lookup FILE KEY [--today YYYY-MM-DD]\n"
    "  kalvera-callbook regions FILE\n"
    "  kalvera-callbook listing FILE REGION [--today YYYY-MM-DD]\n"
    "  kalvera-callbook version FILE\n";

int Usage() {
    std::cerr << kUsage;
    return kExitUsage;
}

int FileMissing() {
    std::cerr << kMissingCallbookMessage << '\n';
    return kExitFileMissing;
}

std::string HexColour(const Rgb& colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour.red, colour.green, colour.blue);
    return text;
}

struct Arguments {
    std::vector<std::string_view> positional;
    std::optional<CivilDate> today;
    bool valid = true;
};

Arguments Parse(const std::vector<std::string>& argv) {
    const std::size_t argc = argv.size();
    Arguments args;
    for (std::size_t i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--today") {
            if (i + 1 >= argc || args.today) {
                args.valid = false;
                break;
            }
            args.today = ParseCallbookDate(argv[++i]);
            args.valid = args.valid && args.today.has_value();
        } else {
            args.positional.push_back(arg);
        }
    }
    return args;
}

int Lookup(const Arguments& args) {
    const LookupResult result = QueryCallsign(PathFromUtf8(args.positional[0]), args.positional[1],
                                              args.today.value_or(LocalToday()));
    switch (result.outcome) {
        case LookupOutcome::FileMissing:
            return FileMissing();
        case LookupOutcome::ReadError:
            std::cerr << args.positional[0] << ": " << result.readError << '\n';
            return kExitFileMissing;
        case LookupOutcome::NotFound:
            std::cout << NotFoundLine(args.positional[1]) << '\n';
            return kExitNotFound;
        case LookupOutcome::Found:
            break;
    }
    for (const std::string& text : result.details) {
        std::cout << text << '\n';
    }
    std::cout << HexColour(result.statusColour.value_or(kWhite)) << '\n';
    return kExitFound;
}

int Regions(const Arguments& args) {
    const RegionList list = QueryRegions(PathFromUtf8(args.positional[0]));
    if (list.fileMissing) {
        return kExitFileMissing;  // the region loader is silent about a missing file
    }
    for (const std::string& region : list.regions) {
        std::cout << ToDisplayText(region) << '\n';
    }
    return kExitFound;
}

int Listing(const Arguments& args) {
    // Rows go out as they are found: a large region never sits in memory whole.
    const bool found =
        !ForEachRegionMember(PathFromUtf8(args.positional[0]), args.positional[1],
                             args.today.value_or(LocalToday()),
                             [](const std::string& row) { std::cout << row << '\n'; })
             .Failed();
    return found ? kExitFound : FileMissing();
}

int Version(const Arguments& args) {
    const VersionBanner banner = QueryDatabaseVersion(PathFromUtf8(args.positional[0]));
    if (banner.fileMissing) {
        return FileMissing();
    }
    if (banner.caption) {
        std::cout << *banner.caption << '\n';
    }
    return kExitFound;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    UseBinaryStandardStreams();
    const std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    if (arguments.size() < 2) {
        return Usage();
    }
    const std::string_view command = arguments[1];
    const Arguments args = Parse(arguments);
    if (!args.valid) {
        return Usage();
    }
    const std::size_t count = args.positional.size();
    int code = kExitUsage;
    if (command == "lookup" && count == 2) {
        code = Lookup(args);
    } else if (command == "listing" && count == 2) {
        code = Listing(args);
    } else if (command == "regions" && count == 1 && !args.today) {
        code = Regions(args);
    } else if (command == "version" && count == 1 && !args.today) {
        code = Version(args);
    } else {
        return Usage();
    }
    std::cout.flush();
    return code;
}
