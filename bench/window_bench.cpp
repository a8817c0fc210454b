// kalvera-window-bench: what the window adds to its queries, measured in one process.
//
//   kalvera-window-bench [--runs N] PROGRAM_FOLDER CALLSIGN
//
// PROGRAM_FOLDER holds the callbook as log.txt; CALLSIGN is a full callsign that is in it
// (the search box gets it without its "QV27" prefix, as a user types it, so the suffix must
// fit the box: three characters). Without a
// QT_QPA_PLATFORM in the environment the offscreen platform is used.
//
// Two comparisons, each in N interleaved pairs (alternately window first and direct first,
// after one warm-up pair):
//   form_load  constructing Form1, whose constructor runs Form_Load (the region list, the
//              controls, the banner), against QueryRegionsAndVersion, the one pass over the
//              file that it needs, called directly; the window is destroyed outside the timing;
//   lookup     Command1_Click with the callsign in txtCari, against QueryCallsign.
// Output: "pair NAME I WINDOW_MS DIRECT_MS" per pair, then per comparison
// "window NAME WINDOW_MEDIAN_MS DIRECT_MEDIAN_MS RATIO_MEDIAN", where the ratio is the
// median of the pairs' ratios.

#include <QApplication>
#include <QLineEdit>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls.h"
#include "core/callbook_path.h"
#include "form1.h"
#include "queries/callbook_overview.h"
#include "queries/callsign_lookup.h"
#include "queries/messages.h"
#include "queries/region_list.h"
#include "queries/version_banner.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Work>
double Milliseconds(Work&& work) {
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs `window` and `direct` in interleaved pairs and prints the pairs and the summary.
template <typename Window, typename Direct>
void Compare(const char* name, int runs, Window&& window, Direct&& direct) {
    std::vector<double> windowTimes;
    std::vector<double> directTimes;
    std::vector<double> ratios;
    for (int pair = -1; pair < runs; ++pair) {
        double w = 0;
        double d = 0;
        if (pair % 2 == 0) {
            w = window();
            d = direct();
        } else {
            d = direct();
            w = window();
        }
        if (pair < 0) {
            continue;  // warm-up
        }
        std::printf("pair %s %d %.3f %.3f\n", name, pair, w, d);
        windowTimes.push_back(w);
        directTimes.push_back(d);
        ratios.push_back(w / d);
    }
    std::printf("window %s %.3f %.3f %.4f\n", name, Median(windowTimes), Median(directTimes),
                Median(ratios));
    std::fflush(stdout);
}

int Usage() {
    std::fputs("Usage: kalvera-window-bench [--runs N] PROGRAM_FOLDER CALLSIGN\n", stderr);
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);

    int runs = 11;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else {
            positional.emplace_back(arg);
        }
    }
    if (positional.size() != 2 || runs < 1) {
        return Usage();
    }
    const QString folder = QString::fromStdString(positional[0]);
    const std::filesystem::path callbook = kalvera::CallbookPath(positional[0]);
    const std::string callsign = positional[1];
    const std::string_view prefix = kalvera::kCallsignPrefix;
    if (!kalvera::CallbookExists(callbook) || !callsign.starts_with(prefix)) {
        // A missing callbook would stop the window at a modal message box.
        std::fprintf(stderr, "kalvera-window-bench: no callbook at %s, or %s is no callsign\n",
                     callbook.string().c_str(), callsign.c_str());
        return 1;
    }
    const QString suffix = QString::fromStdString(callsign.substr(prefix.size()));

    // The window of the lookups; made first so that a callsign it cannot take fails early.
    kalvera::Form1 form(folder);
    const kalvera::Form1Controls& controls = form.Controls();
    if (suffix.size() > controls.txtCari->maxLength()) {
        std::fprintf(stderr, "kalvera-window-bench: the search box takes no suffix as long as %s\n",
                     callsign.c_str());
        return 1;
    }

    Compare(
        "form_load", runs,
        [&] {
            std::unique_ptr<kalvera::Form1> window;
            const double ms =
                Milliseconds([&] { window = std::make_unique<kalvera::Form1>(folder); });
            if (window->Regions().empty()) {
                std::abort();
            }
            return ms;
        },
        [&] {
            return Milliseconds([&] {
                const kalvera::CallbookOverview overview =
                    kalvera::QueryRegionsAndVersion(callbook);
                if (overview.regions.regions.empty() || !overview.version.caption) {
                    std::abort();
                }
            });
        });

    bool found = true;
    Compare(
        "lookup", runs,
        [&] {
            controls.txtCari->setText(suffix);
            const double ms = Milliseconds([&] { form.Command1_Click(); });
            found = found && kalvera::BoxText(controls.Data1[0]).toStdString() == callsign;
            return ms;
        },
        [&] {
            return Milliseconds([&] {
                const kalvera::LookupResult result = kalvera::QueryCallsign(callbook, callsign);
                found = found && result.found;
            });
        });
    if (!found) {
        std::fprintf(stderr, "kalvera-window-bench: %s was not found\n", callsign.c_str());
        return 1;
    }
    return 0;
}
