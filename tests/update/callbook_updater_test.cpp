#include "update/callbook_updater.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "callbook_server.h"

namespace kalvera {
namespace {

using namespace std::chrono_literals;
using testing::CallbookServer;
using testing::kFreshCallbook;

const QByteArray kOldCallbook =
    "versi: 2020-01-01 08:00\r\n"
    "QV27OLD#Lama#Jl. Lama 1#Kab. Lama#0001#2020-01-01#baru\r\n";

class CallbookUpdaterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        QFile file(CallbookPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(kOldCallbook), kOldCallbook.size());
        // Short enough that a wrong turn ends the test in seconds, not minutes.
        updater_.SetTimeouts(DownloadTimeouts{5s, 5s});
    }

    QString CallbookPath() const { return folder_.filePath("log.txt"); }

    QByteArray CallbookBytes() const {
        QFile file(CallbookPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QStringList FolderEntries() const {
        return QDir(folder_.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    }

    DownloadOutcome Fetch(const std::string& path) {
        return updater_.Download(QUrl(QString::fromStdString(server_.Url(path))), CallbookPath());
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
        EXPECT_EQ(CallbookBytes(), kOldCallbook);
        EXPECT_EQ(FolderEntries(), QStringList{"log.txt"});
    }

    QTemporaryDir folder_;
    CallbookServer server_;
    CallbookUpdater updater_;
};

TEST_F(CallbookUpdaterTest, download_ofPublishedCallbook_replacesLocalFile) {
    EXPECT_EQ(Fetch("/1028/log.txt"), DownloadOutcome::Installed);
    EXPECT_EQ(CallbookBytes(), QByteArray(kFreshCallbook));
    EXPECT_EQ(FolderEntries(), QStringList{"log.txt"});
    EXPECT_FALSE(updater_.IsBusy());
}

TEST_F(CallbookUpdaterTest, download_whenNoLocalFileYet_createsIt) {
    ASSERT_TRUE(QFile::remove(CallbookPath()));
    EXPECT_EQ(Fetch("/1028/log.txt"), DownloadOutcome::Installed);
    EXPECT_EQ(CallbookBytes(), QByteArray(kFreshCallbook));
}

TEST_F(CallbookUpdaterTest, download_ofFileWithOnlyVersionLine_isInstalled) {
    EXPECT_EQ(Fetch("/version-only"), DownloadOutcome::Installed);
    EXPECT_EQ(CallbookBytes(), QByteArray("versi: 2025-07-01 07:00\r\n"));
}

TEST_F(CallbookUpdaterTest, download_ofFileWithOnlyMemberLines_isInstalled) {
    EXPECT_EQ(Fetch("/members-only"), DownloadOutcome::Installed);
    EXPECT_TRUE(CallbookBytes().startsWith("QV27DEF#"));
}

TEST_F(CallbookUpdaterTest, download_twiceInARow_installsBothTimes) {
    EXPECT_EQ(Fetch("/version-only"), DownloadOutcome::Installed);
    EXPECT_EQ(Fetch("/1028/log.txt"), DownloadOutcome::Installed);
    EXPECT_EQ(CallbookBytes(), QByteArray(kFreshCallbook));
    EXPECT_EQ(FolderEntries(), QStringList{"log.txt"});
}

TEST_F(CallbookUpdaterTest, download_ofMissingPath_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/1028/tidak-ada.txt"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_withServerError_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/server-error"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_withEndlessErrorPage_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/server-error-endless"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_ofHtmlPageWithStatus200_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/html"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_ofHtmlPageSentAsPlainText_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/html-as-text"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_ofBodyCutShort_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/cut-short"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_redirectedToBodyCutShort_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/moved-to-cut-short"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_ofEmptyBody_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/empty"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_declaredLargerThanLimit_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/oversized-declared"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_streamingPastLimit_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/oversized-streamed"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_ofBodyWithNulByte_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/with-nul"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_ofTextWithoutMemberOrVersionLine_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/no-callbook-line"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_whenConnectionRefused_failsAndKeepsOldFile) {
    // A port that was free a moment ago and that nobody listens on now.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/1028/log.txt").arg(port));
    EXPECT_EQ(updater_.Download(url, CallbookPath()), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_whenServerNeverAnswers_failsAfterConnectTimeout) {
    updater_.SetTimeouts(DownloadTimeouts{300ms, 5s});
    EXPECT_EQ(Fetch("/stall-before-headers"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_whenDataStopsMidBody_failsAfterIdleTimeout) {
    updater_.SetTimeouts(DownloadTimeouts{5s, 300ms});
    EXPECT_EQ(Fetch("/stall-mid-body"), DownloadOutcome::Failed);
    EXPECT_TRUE(server_.StallReached());
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_followingRedirect_installsTarget) {
    EXPECT_EQ(Fetch("/moved"), DownloadOutcome::Installed);
    EXPECT_EQ(CallbookBytes(), QByteArray(kFreshCallbook));
}

TEST_F(CallbookUpdaterTest, download_ofChunkedBody_installsIt) {
    EXPECT_EQ(Fetch("/chunked"), DownloadOutcome::Installed);
    EXPECT_EQ(CallbookBytes(), QByteArray(kFreshCallbook));
}

TEST_F(CallbookUpdaterTest, download_redirectedToChunkedBody_installsIt) {
    EXPECT_EQ(Fetch("/moved-to-chunked"), DownloadOutcome::Installed);
    EXPECT_EQ(CallbookBytes(), QByteArray(kFreshCallbook));
}

TEST_F(CallbookUpdaterTest, download_afterFiveRedirects_installsTarget) {
    EXPECT_EQ(Fetch("/hops/5"), DownloadOutcome::Installed);
    EXPECT_EQ(CallbookBytes(), QByteArray(kFreshCallbook));
}

TEST_F(CallbookUpdaterTest, download_needingSixRedirects_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/hops/6"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_ofRedirectLoop_failsAndKeepsOldFile) {
    EXPECT_EQ(Fetch("/loop"), DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_ofNonHttpUrl_failsWithoutReadingIt) {
    QTemporaryDir elsewhere;
    const QString source = elsewhere.filePath("log.txt");
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kFreshCallbook);
    file.close();
    EXPECT_EQ(updater_.Download(QUrl::fromLocalFile(source), CallbookPath()),
              DownloadOutcome::Failed);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, download_intoFolderThatDoesNotExist_fails) {
    const QString target = folder_.filePath("tidak-ada/log.txt");
    EXPECT_EQ(updater_.Download(QUrl(QString::fromStdString(server_.Url("/1028/log.txt"))), target),
              DownloadOutcome::Failed);
    EXPECT_FALSE(QFile::exists(target));
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, cancel_duringStalledTransfer_returnsCancelledAndKeepsOldFile) {
    bool busyWhileStalled = false;
    WhenStalled([this, &busyWhileStalled] {
        busyWhileStalled = updater_.IsBusy();
        updater_.Cancel();
    });
    EXPECT_EQ(Fetch("/stall-mid-body"), DownloadOutcome::Cancelled);
    EXPECT_TRUE(busyWhileStalled);
    EXPECT_FALSE(updater_.IsBusy());
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, cancel_whenIdle_isHarmless) {
    updater_.Cancel();
    EXPECT_FALSE(updater_.IsBusy());
    EXPECT_EQ(Fetch("/1028/log.txt"), DownloadOutcome::Installed);
}

TEST_F(CallbookUpdaterTest, download_whileAnotherRuns_failsAndLeavesFirstRunning) {
    DownloadOutcome second = DownloadOutcome::Installed;
    bool busyAfterSecond = false;
    WhenStalled([this, &second, &busyAfterSecond] {
        second = Fetch("/1028/log.txt");
        busyAfterSecond = updater_.IsBusy();
        updater_.Cancel();
    });
    EXPECT_EQ(Fetch("/stall-mid-body"), DownloadOutcome::Cancelled);
    EXPECT_EQ(second, DownloadOutcome::Failed);
    EXPECT_TRUE(busyAfterSecond);
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, applicationQuit_duringTransfer_returnsCancelledAndKeepsOldFile) {
    DownloadOutcome outcome = DownloadOutcome::Installed;
    QTimer::singleShot(0, &updater_, [this, &outcome] { outcome = Fetch("/stall-mid-body"); });
    WhenStalled([] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    EXPECT_EQ(outcome, DownloadOutcome::Cancelled);
    EXPECT_FALSE(updater_.IsBusy());
    ExpectOldCallbookUntouched();
}

TEST_F(CallbookUpdaterTest, updaterDestroyed_duringTransfer_returnsCancelledAndKeepsOldFile) {
    auto owned = std::make_unique<CallbookUpdater>();
    CallbookUpdater* updater = owned.get();
    WhenStalled([&owned] { owned.reset(); });
    const QUrl url(QString::fromStdString(server_.Url("/stall-mid-body")));
    EXPECT_EQ(updater->Download(url, CallbookPath()), DownloadOutcome::Cancelled);
    EXPECT_EQ(owned, nullptr);
    ExpectOldCallbookUntouched();
}

}  // namespace
}  // namespace kalvera

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Requests to 127.0.0.1 go straight to the test server, whatever the environment says.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
