#include "update/callbook_updater.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "callbook_server.h"
#include "update_test_support.h"

namespace kalvera {
namespace {

using namespace std::chrono_literals;
using namespace kalvera::testing;

class CallbookUpdaterTest : public ::testing::Test {
  protected:
    // Short enough that a wrong turn ends the test in seconds, not minutes.
    void SetUp() override { updater_.SetTimeouts(DownloadTimeouts{5s, 5s}); }

    QUrl UrlOf(const char* path) const { return QUrl(QString::fromStdString(server_.Url(path))); }
    DownloadOutcome Fetch(const char* path) {
        return updater_.Download(UrlOf(path), folder_.CallbookPath());
    }

    // Runs `action` on the window thread once the server has stalled a request.
    void WhenStalled(std::function<void()> action) {
        auto* poll = new QTimer(&updater_);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, action] {
            if (server_.StallReached()) {
                poll->deleteLater();
                poll->stop();
                action();
            }
        });
        poll->start(5ms);
    }

    void ExpectOldCallbookUntouched() const {
        EXPECT_EQ(folder_.CallbookBytes(), kOldCallbook);
        EXPECT_EQ(folder_.Entries(), QStringList{"log.txt"});
    }

    OldCallbookFolder folder_;
    CallbookServer server_;
    CallbookUpdater updater_;
};

struct Route {
    const char* name;
    const char* path;                // nullptr: a port nobody listens on
    const char* installs = nullptr;  // nullptr: the download fails
};

const Route kRoutes[] = {
    {"published", "/1028/log.txt", kFreshCallbook},
    {"redirected", "/moved", kFreshCallbook},
    {"fiveRedirects", "/hops/5", kFreshCallbook},
    {"chunked", "/chunked", kFreshCallbook},
    {"redirectedToChunked", "/moved-to-chunked", kFreshCallbook},
    {"versionLineOnly", "/version-only", kVersionOnly},
    {"memberLinesOnly", "/members-only", kMembersOnly},
    {"notFound", "/1028/tidak-ada.txt"},
    {"serverError", "/server-error"},
    {"htmlPageWith200", "/html"},
    {"htmlSentAsText", "/html-as-text"},
    {"cutShort", "/cut-short"},
    {"redirectedToCutShort", "/moved-to-cut-short"},
    {"emptyBody", "/empty"},
    {"tooLarge", "/oversized"},
    {"nulByte", "/with-nul"},
    {"noMemberOrVersionLine", "/no-callbook-line"},
    {"sixRedirects", "/hops/6"},
    {"redirectLoop", "/loop"},
    {"neverAnswers", "/stall-before-headers"},
    {"stallsMidBody", "/stall-mid-body"},
    {"connectionRefused", nullptr},
};

class ServedTest : public CallbookUpdaterTest, public ::testing::WithParamInterface<Route> {};

// Whatever goes wrong, the old file stays byte for byte and no temporary file is left.
TEST_P(ServedTest, download_installsOnlyAWholePlausibleCallbook) {
    const Route& route = GetParam();
    updater_.SetTimeouts(DownloadTimeouts{1s, 500ms});
    updater_.Cancel();  // with nothing running: harmless
    const QUrl source = route.path ? UrlOf(route.path) : QUrl(UnusedPortUrl());
    EXPECT_EQ(updater_.Download(source, folder_.CallbookPath()),
              route.installs ? DownloadOutcome::Installed : DownloadOutcome::Failed);
    EXPECT_EQ(folder_.CallbookBytes(), route.installs ? QByteArray(route.installs) : kOldCallbook);
    EXPECT_EQ(folder_.Entries(), QStringList{"log.txt"});
    EXPECT_FALSE(updater_.IsBusy());
}

INSTANTIATE_TEST_SUITE_P(Routes, ServedTest, ::testing::ValuesIn(kRoutes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CallbookUpdaterTest, download_whenNoLocalFileYet_createsIt) {
    ASSERT_TRUE(QFile::remove(folder_.CallbookPath()));
    EXPECT_EQ(Fetch("/1028/log.txt"), DownloadOutcome::Installed);
    EXPECT_EQ(folder_.CallbookBytes(), QByteArray(kFreshCallbook));
}

// A running download refuses a second one at once, and ends with Cancelled whichever way it
// is ended before its transfer is.
enum class Ending { Cancel, ApplicationQuit, UpdaterDestroyed };

class EndingTest : public CallbookUpdaterTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(EndingTest, download_endedWhileStalled_returnsCancelledAndKeepsOldFile) {
    auto owned = std::make_unique<CallbookUpdater>();
    CallbookUpdater* updater = owned.get();
    DownloadOutcome second = DownloadOutcome::Installed;
    bool busyAfterSecond = false;
    WhenStalled([&] {
        second = owned->Download(UrlOf("/1028/log.txt"), folder_.CallbookPath());
        busyAfterSecond = owned->IsBusy();
        if (GetParam() == Ending::Cancel) {
            owned->Cancel();
        } else if (GetParam() == Ending::ApplicationQuit) {
            QCoreApplication::quit();
        } else {
            owned.reset();
        }
    });
    DownloadOutcome outcome = DownloadOutcome::Installed;
    QTimer::singleShot(0, [&] {
        outcome = updater->Download(UrlOf("/stall-mid-body"), folder_.CallbookPath());
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_EQ(second, DownloadOutcome::Failed);
    EXPECT_TRUE(busyAfterSecond);
    EXPECT_EQ(server_.Requests("/1028/log.txt"), 0);
    EXPECT_EQ(outcome, DownloadOutcome::Cancelled);
    EXPECT_TRUE(!owned || !owned->IsBusy());
    ExpectOldCallbookUntouched();
}

std::string EndingName(const ::testing::TestParamInfo<Ending>& info) {
    const char* names[] = {"cancel", "applicationQuit", "updaterDestroyed"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Ways, EndingTest,
                         ::testing::Values(Ending::Cancel, Ending::ApplicationQuit,
                                           Ending::UpdaterDestroyed),
                         EndingName);

}  // namespace
}  // namespace kalvera

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Requests to 127.0.0.1 go straight to the test server, whatever the environment says.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
