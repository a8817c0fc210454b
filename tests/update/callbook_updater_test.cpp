#include "update/callbook_updater.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "callbook_server.h"
#include "update_test_support.h"

namespace kalvera {

void PrintTo(DownloadFailure failure, std::ostream* out) {
    *out << Describe(failure);
}
void PrintTo(ContentVerdict verdict, std::ostream* out) {
    *out << Describe(verdict);
}

namespace {

using namespace std::chrono_literals;
using namespace kalvera::testing;

class CallbookUpdaterTest : public ::testing::Test {
  protected:
    // Short enough that a wrong turn ends the test in seconds, not minutes.
    void SetUp() override { updater_.SetTimeouts(DownloadTimeouts{5s, 5s, 20s}); }

    QUrl UrlOf(const char* path) const { return QUrl(QString::fromStdString(server_.Url(path))); }
    DownloadResult Fetch(const char* path) {
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
    const char* path;  // nullptr: a port nobody listens on
    DownloadFailure failure;
    ContentVerdict verdict = ContentVerdict::Plausible;  // for NotCallbook
    int status = 200;                                    // for HttpStatus
    std::string installs = {};                           // for None
};

std::vector<Route> Routes() {
    using F = DownloadFailure;
    using V = ContentVerdict;
    return {
        {"published", "/1028/log.txt", F::None, {}, 200, kFreshCallbook},
        {"redirected", "/moved", F::None, {}, 200, kFreshCallbook},
        {"fiveRedirects", "/hops/5", F::None, {}, 200, kFreshCallbook},
        {"redirectedToSameHostAbsolute", "/to-same-host", F::None, {}, 200, kFreshCallbook},
        {"chunked", "/chunked", F::None, {}, 200, kFreshCallbook},
        {"redirectedToChunked", "/moved-to-chunked", F::None, {}, 200, kFreshCallbook},
        {"noLengthEndingWithLineEnd", "/no-length", F::None, {}, 200, kFreshCallbook},
        {"versionLineOnly", "/version-only", F::NotCallbook, V::NoMemberLine},
        {"memberLinesOnly", "/members-only", F::None, {}, 200, kMembersOnly},
        {"utf16Le", "/utf16le", F::None, {}, 200, Utf16Callbook(false)},
        {"utf16Be", "/utf16be", F::None, {}, 200, Utf16Callbook(true)},
        {"crLineEnds", "/cr-only", F::None, {}, 200, kCrLineEnds},
        {"crCrLfLineEnds", "/cr-cr-lf", F::None, {}, 200, kCrCrLfLineEnds},

        {"notFound", "/1028/tidak-ada.txt", F::HttpStatus, {}, 404},
        {"serverError", "/server-error", F::HttpStatus, {}, 500},
        {"errorPageStalls", "/error-then-stall", F::HttpStatus, {}, 503},
        {"htmlPageWith200", "/html", F::NotCallbook, V::HtmlPage},
        {"htmlSentAsText", "/html-as-text", F::NotCallbook, V::HtmlPage},
        {"captivePortal", "/captive-portal", F::NotCallbook, V::HtmlPage},
        {"portalWithoutTags", "/portal-as-text", F::NotCallbook, V::NoCallbookLine},
        {"noMemberOrVersionLine", "/no-callbook-line", F::NotCallbook, V::NoCallbookLine},
        {"tooManyOddLines", "/odd-lines", F::NotCallbook, V::TooManyOddLines},
        {"emptyBody", "/empty", F::NotCallbook, V::Empty},
        {"nulByte", "/with-nul", F::NotCallbook, V::ContainsNul},
        {"versionLineOf60MB", "/long-version-line", F::NotCallbook, V::LineTooLong},
        {"compressed", "/gzip", F::Compressed},
        {"tooLarge", "/oversized", F::TooLarge},
        {"announcedTooLarge", "/announced-too-large", F::TooLarge},
        {"cutShort", "/cut-short", F::CutShort},
        {"redirectedToCutShort", "/moved-to-cut-short", F::CutShort},
        {"noLengthCutMidLine", "/no-length-cut", F::CutShort},
        {"chunkedCutMidLine", "/chunked-cut", F::CutShort},
        {"redirectedToNoLengthCut", "/moved-to-no-length-cut", F::CutShort},
        {"sixRedirects", "/hops/6", F::TooManyRedirects},
        {"redirectLoop", "/loop", F::TooManyRedirects},
        {"redirectToOtherHost", "/to-other-host", F::RedirectToOtherHost},
        {"redirectToOtherPort", "/to-other-port", F::RedirectToOtherHost},
        {"neverAnswers", "/stall-before-headers", F::ConnectTimeout},
        {"stallsMidBody", "/stall-mid-body", F::IdleTimeout},
        {"connectionRefused", nullptr, F::Unreachable},
    };
}

class ServedTest : public CallbookUpdaterTest, public ::testing::WithParamInterface<Route> {};

// Whatever goes wrong, the old file stays byte for byte, no temporary file is left, and the
// result says why.
TEST_P(ServedTest, download_installsOnlyAWholeCallbookAndSaysWhyNot) {
    const Route& route = GetParam();
    // An idle limit short enough for the stalls to end soon; 64 MiB streamed on a loaded
    // machine (or under Wine) may pause longer than that, and is not about stalls.
    const bool streamsALot = route.failure == DownloadFailure::TooLarge;
    updater_.SetTimeouts(DownloadTimeouts{2s, streamsALot ? 30s : 2s, 60s});
    updater_.Cancel();  // with nothing running: harmless
    const QUrl source = route.path ? UrlOf(route.path) : QUrl(UnusedPortUrl());
    const DownloadResult result = updater_.Download(source, folder_.CallbookPath());
    EXPECT_EQ(result.failure, route.failure);
    if (route.failure == DownloadFailure::NotCallbook) {
        EXPECT_EQ(result.verdict, route.verdict);
    }
    if (route.failure == DownloadFailure::HttpStatus || route.failure == DownloadFailure::None) {
        EXPECT_EQ(result.httpStatus, route.status);
    }
    if (route.failure == DownloadFailure::None) {
        EXPECT_EQ(result.Outcome(), DownloadOutcome::Installed);
        EXPECT_EQ(folder_.CallbookBytes(), QByteArray::fromStdString(route.installs));
        EXPECT_EQ(folder_.Entries(), QStringList{"log.txt"});
    } else {
        EXPECT_EQ(result.Outcome(), DownloadOutcome::Failed);
        ExpectOldCallbookUntouched();
    }
    EXPECT_EQ(server_.Requests("/elsewhere/log.txt"), 0);
    EXPECT_FALSE(updater_.IsBusy());
}

INSTANTIATE_TEST_SUITE_P(Routes, ServedTest, ::testing::ValuesIn(Routes()),
                         [](const auto& info) { return std::string(info.param.name); });

// Each byte restarts the idle timer; only the deadline ends it. The updater is free again
// afterwards.
TEST_F(CallbookUpdaterTest, slowDrip_endsAtDeadline_andTheNextDownloadInstalls) {
    updater_.SetTimeouts(DownloadTimeouts{5s, 5s, 1s});
    const DownloadResult dripped = Fetch("/drip-once/a");
    EXPECT_EQ(dripped.failure, DownloadFailure::DeadlineExceeded);
    EXPECT_GT(dripped.bodyBytes, 0u);
    // The byte in flight at the deadline was sent but never received.
    EXPECT_LE(dripped.bodyBytes, server_.Dripped());
    ExpectOldCallbookUntouched();
    EXPECT_FALSE(updater_.IsBusy());
    EXPECT_EQ(Fetch("/drip-once/a").failure, DownloadFailure::None);
    EXPECT_EQ(folder_.CallbookBytes(), QByteArray(kFreshCallbook));
}

TEST_F(CallbookUpdaterTest, download_whenNoLocalFileYet_createsIt) {
    ASSERT_TRUE(QFile::remove(folder_.CallbookPath()));
    EXPECT_EQ(Fetch("/1028/log.txt").failure, DownloadFailure::None);
    EXPECT_EQ(folder_.CallbookBytes(), QByteArray(kFreshCallbook));
}

TEST_F(CallbookUpdaterTest, download_refusedBeforeAnyRequest) {
    const QString missingFolder = folder_.Path() + QStringLiteral("/hilang/log.txt");
    EXPECT_EQ(updater_.Download(UrlOf("/1028/log.txt"), missingFolder).failure,
              DownloadFailure::WriteFailed);
    EXPECT_EQ(updater_.Download(QUrl("file:///etc/hostname"), folder_.CallbookPath()).failure,
              DownloadFailure::UnsupportedSource);
    EXPECT_EQ(
        updater_.Download(QUrl("ftp://127.0.0.1/1028/log.txt"), folder_.CallbookPath()).failure,
        DownloadFailure::UnsupportedSource);
    EXPECT_EQ(server_.Requests("/1028/log.txt"), 0);
    ExpectOldCallbookUntouched();
}

struct LoggedMessage {
    QtMsgType type;
    QString category;
    QString text;
};
std::vector<LoggedMessage>* logged = nullptr;

TEST_F(CallbookUpdaterTest, everyEnd_isLoggedWithItsReason) {
    std::vector<LoggedMessage> messages;
    logged = &messages;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            logged->push_back({type, QString::fromLatin1(context.category), text});
        });
    Fetch("/1028/tidak-ada.txt");
    Fetch("/captive-portal");
    Fetch("/1028/log.txt");
    qInstallMessageHandler(previous);
    logged = nullptr;

    ASSERT_EQ(messages.size(), 3u);
    for (const LoggedMessage& message : messages) {
        EXPECT_EQ(message.category, QStringLiteral("kalvera.update"));
    }
    EXPECT_EQ(messages[0].type, QtWarningMsg);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("HTTP status 404")))
        << messages[0].text.toStdString();
    EXPECT_EQ(messages[1].type, QtWarningMsg);
    EXPECT_TRUE(messages[1].text.contains(QStringLiteral("not a callbook (an HTML page)")))
        << messages[1].text.toStdString();
    EXPECT_EQ(messages[2].type, QtInfoMsg);
    EXPECT_TRUE(messages[2].text.startsWith(QStringLiteral("installed")))
        << messages[2].text.toStdString();
}

// A running download refuses a second one at once, and ends with Cancelled whichever way it
// is ended before its transfer is, waiting for the answer or in the middle of the body.
enum class Ending { Cancel, ApplicationQuit, UpdaterDestroyed };

struct EndingCase {
    Ending ending;
    const char* path;
};

class EndingTest : public CallbookUpdaterTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(EndingTest, download_endedWhileStalled_returnsCancelledAndKeepsOldFile) {
    auto owned = std::make_unique<CallbookUpdater>();
    CallbookUpdater* updater = owned.get();
    DownloadResult second;
    bool busyAfterSecond = false;
    WhenStalled([&] {
        second = owned->Download(UrlOf("/1028/log.txt"), folder_.CallbookPath());
        busyAfterSecond = owned->IsBusy();
        switch (GetParam().ending) {
            case Ending::Cancel:
                owned->Cancel();
                break;
            case Ending::ApplicationQuit:
                QCoreApplication::quit();
                break;
            case Ending::UpdaterDestroyed:
                owned.reset();
                break;
        }
    });
    DownloadResult result;
    QTimer::singleShot(0, [&] {
        result = updater->Download(UrlOf(GetParam().path), folder_.CallbookPath());
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_EQ(second.failure, DownloadFailure::Busy);
    EXPECT_TRUE(busyAfterSecond);
    EXPECT_EQ(server_.Requests("/1028/log.txt"), 0);
    EXPECT_EQ(result.failure, DownloadFailure::Cancelled);
    EXPECT_EQ(result.Outcome(), DownloadOutcome::Cancelled);
    EXPECT_TRUE(!owned || !owned->IsBusy());
    ExpectOldCallbookUntouched();
}

std::string EndingName(const ::testing::TestParamInfo<EndingCase>& info) {
    const char* endings[] = {"cancel", "applicationQuit", "updaterDestroyed"};
    const std::string where =
        std::string(info.param.path) == "/stall-before-headers" ? "BeforeAnswer" : "MidBody";
    return endings[static_cast<int>(info.param.ending)] + where;
}

INSTANTIATE_TEST_SUITE_P(
    Ways, EndingTest,
    ::testing::Values(EndingCase{Ending::Cancel, "/stall-before-headers"},
                      EndingCase{Ending::Cancel, "/stall-mid-body"},
                      EndingCase{Ending::ApplicationQuit, "/stall-before-headers"},
                      EndingCase{Ending::ApplicationQuit, "/stall-mid-body"},
                      EndingCase{Ending::UpdaterDestroyed, "/stall-before-headers"},
                      EndingCase{Ending::UpdaterDestroyed, "/stall-mid-body"}),
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
