#include "update/callbook_updater.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chapter_answers.h"
#include "update/http_head_reader.h"
#include "update/http_url.h"
#include "update/pending_callbook.h"
#include "update_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

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

// The updater never ended: a result no route expects.
DownloadResult Hung() {
    DownloadResult hung;
    hung.failure = DownloadFailure::Cancelled;
    hung.httpStatus = -1;
    return hung;
}

class CallbookUpdaterTest : public ::testing::Test {
  protected:
    // Short enough that a wrong turn ends the test in seconds, not minutes.
    void SetUp() override {
        ASSERT_TRUE(server_.Listening());
        AnswerAsTheChapter(server_);
        updater_.SetTimeouts(DownloadTimeouts{5s, 5s, 20s});
    }

    QUrl UrlOf(const char* path) const { return QUrl(server_.Url(QString::fromLatin1(path))); }
    DownloadResult Download(const QUrl& source) { return Download(source, folder_.CallbookPath()); }
    DownloadResult Download(const QUrl& source, const QString& file) {
        const std::optional<DownloadResult> result = RunDownload(updater_, source, file);
        EXPECT_TRUE(result.has_value()) << "the download did not end";
        return result.value_or(Hung());
    }
    DownloadResult Fetch(const char* path) { return Download(UrlOf(path)); }

    // Runs `action` on this thread once the server has stalled a request.
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
    ScriptedHttpServer server_;
    CallbookUpdater updater_;
};

struct Route {
    const char* name;
    const char* path;  // nullptr: a port nobody listens on
    DownloadFailure failure;
    ContentVerdict verdict = ContentVerdict::Plausible;  // for NotCallbook
    int status = 200;                                    // for HttpStatus
    QByteArray installs = {};                            // for None
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
        {"versionLineOnly", "/version-only", F::NotCallbook, V::NoMemberLine},
        {"textNoticeMentioningAVersion", "/notice", F::NotCallbook, V::NoMemberLine},
        {"noMembersAtAll", "/members/0", F::NotCallbook, V::NoMemberLine},
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
        {"chunkedCutAtLineEnd", "/chunked-cut-at-line-end", F::CutShort},
        {"redirectedToNoLengthCut", "/moved-to-no-length-cut", F::CutShort},
        {"blankBeforeColon", "/blank-before-colon", F::MalformedAnswer},
        {"tabBeforeColon", "/tab-before-colon", F::MalformedAnswer},
        {"foldedHeaderLine", "/folded-line", F::MalformedAnswer},
        {"framingInInterimAnswer", "/interim-framing", F::MalformedAnswer},
        {"twoContentLengths", "/two-lengths", F::MalformedAnswer},
        {"gzipTransferCoding", "/gzip-chunked", F::MalformedAnswer},
        {"sixRedirects", "/hops/6", F::TooManyRedirects},
        {"redirectLoop", "/loop", F::TooManyRedirects},
        {"redirectToOtherHost", "/to-other-host", F::RedirectToOtherHost},
        {"redirectToOtherPort", "/to-other-port", F::RedirectToOtherHost},
        {"neverAnswers", "/stall-before-headers", F::ConnectTimeout},
        {"stallsMidBody", "/stall-mid-body", F::IdleTimeout},
        {"connectionRefused", nullptr, F::Unreachable},
    };
}

void PrintTo(const Route& route, std::ostream* out) {
    *out << route.name;
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
    const DownloadResult result = Download(source);
    EXPECT_EQ(result.failure, route.failure);
    if (route.failure == DownloadFailure::NotCallbook) {
        EXPECT_EQ(result.verdict, route.verdict);
    }
    if (route.failure == DownloadFailure::HttpStatus || route.failure == DownloadFailure::None) {
        EXPECT_EQ(result.httpStatus, route.status);
    }
    if (route.failure == DownloadFailure::None) {
        EXPECT_EQ(result.Outcome(), DownloadOutcome::Installed);
        EXPECT_EQ(folder_.CallbookBytes(), route.installs);
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

// Headers, chunks that end at line ends and the close arrive together, without the last
// chunk: the body looks like a smaller callbook and must still never be installed.
TEST_F(CallbookUpdaterTest, chunkedBodyWithoutLastChunk_isNeverInstalled) {
    server_.Answer("/half", ChunkedAnswer(CallbookOfMembers(2500), false));
    int installed = 0;
    int cutShort = 0;
    for (int run = 0; run < 200; ++run) {
        const DownloadResult result = Fetch("/half");
        installed += result.failure == DownloadFailure::None ? 1 : 0;
        cutShort += result.failure == DownloadFailure::CutShort ? 1 : 0;
    }
    EXPECT_EQ(installed, 0);
    EXPECT_EQ(cutShort, 200);
    EXPECT_EQ(server_.Requests("/half"), 200);
    ExpectOldCallbookUntouched();
}

// HTTP frames a body with Transfer-Encoding by its chunks; a Content-Length beside it is void.
TEST_F(CallbookUpdaterTest, chunkedBodyWithContentLength_isFramedByItsChunks) {
    const QByteArray fresh(kFreshCallbook);
    server_.Answer("/shorter", ChunkedAnswer(fresh, true, "Content-Length: 10\r\n"));
    server_.Answer("/longer", ChunkedAnswer(fresh, true, "Content-Length: 100000\r\n"));
    server_.Answer("/longer-cut", ChunkedAnswer(fresh, false, "Content-Length: 161\r\n"));
    EXPECT_EQ(Fetch("/longer-cut").failure, DownloadFailure::CutShort);
    ExpectOldCallbookUntouched();
    for (const char* path : {"/shorter", "/longer"}) {
        ASSERT_EQ(Fetch(path).failure, DownloadFailure::None) << path;
        EXPECT_EQ(folder_.CallbookBytes(), fresh);
        EXPECT_EQ(folder_.Entries(), QStringList{"log.txt"});
    }
}

// Header sections read line by line as curl hands them over: one that HTTP calls malformed is
// refused, whatever in it would frame the body.
struct HeadCase {
    const char* section;
    bool taken;
    int status = 0;
    std::int64_t length = -1;
    bool chunked = false;
};

TEST(HttpHeadReader, takesOnlySectionsHttpCallsWellFormed) {
    const HeadCase cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n", true, 200, 12},
        {"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n", true, 200, -1},
        {"HTTP/1.1 200\r\nTransfer-Encoding:  ChunKed \r\nContent-Length: 5\r\n\r\n", true, 200, -1,
         true},
        {"HTTP/1.1 100 Continue\r\nX-Info: a\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length:007\r\n"
         "Content-Length: 7\r\n\r\n",
         true, 200, 7},
        {"HTTP/1.1 302 Found\nLocation: /x\n\n", true, 302},
        {"HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n", true, 204},
        // Status lines.
        {"http/1.1 200 OK\r\n\r\n", false},
        {" HTTP/1.1 200 OK\r\n\r\n", false},
        {"HTTP/2 200\r\n\r\n", false},
        {"HTTP/1.2 200 OK\r\n\r\n", false},
        {"HTTP 200 OK\r\n\r\n", false},
        {"HTTP/1.1 20 OK\r\n\r\n", false},
        {"HTTP/1.1 200OK\r\n\r\n", false},
        {"HTTP/1.1 100 Continue\r\n\r\nhttp/1.1 200 OK\r\n\r\n", false},
        // Field lines.
        {"HTTP/1.1 200 OK\r\nX-A: b\r\n\tTransfer-Encoding: chunked\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nContent-Length : 3\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nno colon here\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\n: no name\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nContent Length: 3\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nX-A: b\rc\r\n\r\n", false},
        // Framing.
        {"HTTP/1.1 103 Early Hints\r\nContent-Length: 0\r\n\r\nHTTP/1.1 200 OK\r\n\r\n", false},
        {"HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n",
         false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\nContent-Length: 6\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10, 10\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nContent-Length: +10\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nContent-Length: \r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n", false},
    };
    for (const HeadCase& c : cases) {
        HttpHeadReader reader;
        std::string_view rest = c.section;
        HttpHeadReader::Step step = HttpHeadReader::Step::More;
        while (!rest.empty() && step == HttpHeadReader::Step::More) {
            const std::size_t end = rest.find('\n') + 1;
            step = reader.Take(rest.substr(0, end));
            rest.remove_prefix(end);
        }
        SCOPED_TRACE(c.section);
        if (!c.taken) {
            EXPECT_EQ(step, HttpHeadReader::Step::Malformed);
            EXPECT_FALSE(reader.Problem().empty());
            continue;
        }
        ASSERT_EQ(step, HttpHeadReader::Step::Final) << reader.Problem();
        EXPECT_EQ(reader.Head().status, c.status);
        EXPECT_EQ(reader.Head().contentLength, c.length);
        EXPECT_EQ(reader.Head().chunked, c.chunked);
    }
}

TEST(MayRedirect, sameHostOnly_andFromHttpsNeverBackToHttp) {
    EXPECT_TRUE(MayRedirect("http://host.example/a", "http://host.example:80/b"));
    EXPECT_TRUE(MayRedirect("HTTP://Host.Example:80/a", "http://host.example/b?c#d"));
    EXPECT_TRUE(MayRedirect("https://host.example/a", "https://host.example:443/"));
    EXPECT_TRUE(MayRedirect("http://host.example/a", "https://host.example/a"));
    EXPECT_TRUE(MayRedirect("http://host.example:8080/a", "https://host.example:8080/a"));
    EXPECT_TRUE(MayRedirect("http://host.example:8080/a", "https://host.example:443/a"));
    EXPECT_FALSE(MayRedirect("http://host.example:8080/a", "https://host.example:8443/a"));
    EXPECT_FALSE(MayRedirect("https://host.example/a", "http://host.example/a"));
    EXPECT_FALSE(MayRedirect("https://host.example:8080/a", "https://host.example/a"));
    EXPECT_FALSE(MayRedirect("http://host.example/a", "http://host.example:8080/a"));
    EXPECT_FALSE(MayRedirect("http://host.example:443/a", "http://host.example/a"));
    EXPECT_FALSE(MayRedirect("http://host.example/a", "https://other.example/a"));
    EXPECT_FALSE(MayRedirect("http://127.0.0.1/a", "http://localhost/a"));
    EXPECT_FALSE(MayRedirect("http://host.example/a", "not a url"));
    EXPECT_FALSE(MayRedirect("ftp://host.example/a", "ftp://host.example/a"));
    EXPECT_FALSE(MayRedirect("http://host.example/a", "ftp://host.example:80/a"));
}

TEST(ResolveUrl, locationsAbsoluteOrRelative) {
    EXPECT_EQ(ResolveUrl("http://h.example/1028/log.txt", "/x/y"), "http://h.example/x/y");
    EXPECT_EQ(ResolveUrl("http://h.example/1028/log.txt", "baru.txt"),
              "http://h.example/1028/baru.txt");
    EXPECT_EQ(ResolveUrl("http://h.example/1028/log.txt", "http://h.example:80/z"),
              "http://h.example:80/z");
    EXPECT_EQ(ResolveUrl("http://h.example/a", "https://other.example/b"),
              "https://other.example/b");
}

// Behind a server that writes its own port 80 into every redirect.
TEST_F(CallbookUpdaterTest, redirectToDefaultPortWrittenOut_isFollowed) {
    ScriptedHttpServer onPort80(80);
    if (!onPort80.Listening()) {
        GTEST_SKIP() << "port 80 of 127.0.0.1 is taken or not ours to use";
    }
    onPort80.Answer("/moved",
                    "HTTP/1.1 301 Moved Permanently\r\n"
                    "Location: http://127.0.0.1:80/1028/log.txt\r\n"
                    "Content-Length: 0\r\n\r\n");
    onPort80.Answer("/1028/log.txt", ChunkedAnswer(kFreshCallbook, true));
    EXPECT_EQ(Download(QUrl(onPort80.Url(QStringLiteral("/moved"), false))).failure,
              DownloadFailure::None);
    EXPECT_EQ(folder_.CallbookBytes(), QByteArray(kFreshCallbook));
    EXPECT_EQ(onPort80.Requests("/1028/log.txt"), 1);
}

// Each byte restarts the idle timer; only the deadline ends it. The updater is free again
// afterwards.
TEST_F(CallbookUpdaterTest, slowDrip_endsAtDeadline_andTheNextDownloadInstalls) {
    updater_.SetTimeouts(DownloadTimeouts{5s, 5s, 1s});
    const auto started = std::chrono::steady_clock::now();
    const DownloadResult dripped = Fetch("/drip-once/a");
    // Never before the deadline, as a coarse timer might end it.
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1s);
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
    EXPECT_EQ(Download(UrlOf("/1028/log.txt"), missingFolder).failure,
              DownloadFailure::WriteFailed);
    EXPECT_EQ(Download(QUrl("file:///etc/hostname")).failure, DownloadFailure::UnsupportedSource);
    EXPECT_EQ(Download(QUrl("ftp://127.0.0.1/1028/log.txt")).failure,
              DownloadFailure::UnsupportedSource);
    EXPECT_EQ(server_.Requests("/1028/log.txt"), 0);
    ExpectOldCallbookUntouched();
}

// Program Files, a read-only share, log.txt marked read-only: refused before the server is
// asked, and nothing in the folder changes.
TEST_F(CallbookUpdaterTest, readOnlyProgramFolder_failsBeforeAnyRequest) {
    const QString folder = ReadOnlyProgramFolder(folder_);
    if (folder.isEmpty()) {
        GTEST_SKIP() << "no read-only folder here; update_read_only runs this case";
    }
    const QString callbook = QDir(folder).filePath(QStringLiteral("log.txt"));
    QFile file(callbook);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot);
    const DownloadResult result = Download(UrlOf("/1028/log.txt"), callbook);
    EXPECT_EQ(result.failure, DownloadFailure::WriteFailed);
    EXPECT_EQ(server_.Requests("/1028/log.txt"), 0);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                     QDir::NoDotAndDotDot),
              entries);
}

// Asked only below half of the installed members; the answer decides.
class ShrinkTest : public CallbookUpdaterTest {
  protected:
    ShrinkTest() : installed_(CallbookOfMembers(10)) {
        WriteOrDie(folder_.CallbookPath(), installed_);
        QObject::connect(&updater_, &CallbookUpdater::confirmationNeeded,
                         [this](const ShrinkQuestion& question) {
                             asked_.push_back(question);
                             updater_.Answer(answer_);
                         });
    }

    const QByteArray installed_;
    std::vector<ShrinkQuestion> asked_;
    bool answer_ = false;
};

TEST_F(ShrinkTest, halfOrMoreOfTheMembers_installsWithoutAsking) {
    for (const char* path : {"/members/7", "/members/5"}) {
        ASSERT_EQ(Fetch(path).failure, DownloadFailure::None) << path;
        WriteOrDie(folder_.CallbookPath(), installed_);
    }
    EXPECT_TRUE(asked_.empty());
}

TEST_F(ShrinkTest, fewerThanHalf_answeredNo_keepsTheOldFileByteForByte) {
    const DownloadResult result = Fetch("/members/3");
    EXPECT_EQ(result.failure, DownloadFailure::Declined);
    EXPECT_EQ(result.Outcome(), DownloadOutcome::Declined);
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].newMembers, 3u);
    EXPECT_EQ(asked_[0].installedMembers, 10u);
    EXPECT_EQ(folder_.CallbookBytes(), installed_);
    EXPECT_EQ(folder_.Entries(), QStringList{"log.txt"});
}

TEST_F(ShrinkTest, fewerThanHalf_answeredYes_installs) {
    answer_ = true;
    EXPECT_EQ(Fetch("/members/3").failure, DownloadFailure::None);
    EXPECT_EQ(asked_.size(), 1u);
    EXPECT_EQ(folder_.CallbookBytes(), CallbookOfMembers(3));
    EXPECT_EQ(folder_.Entries(), QStringList{"log.txt"});
}

TEST_F(ShrinkTest, fewerThanHalf_withNobodyToAsk_isDeclined) {
    CallbookUpdater unasked;
    const std::optional<DownloadResult> result =
        RunDownload(unasked, UrlOf("/members/4"), folder_.CallbookPath());
    ASSERT_TRUE(result);
    EXPECT_EQ(result->failure, DownloadFailure::Declined);
    EXPECT_EQ(folder_.CallbookBytes(), installed_);
}

// However long the question stands, its callbook waits in its temporary file: another
// download's cleanup in the same folder spares it even when it looks hours old. Then Ya
// installs it; Cancel and destroying the updater leave nothing behind.
enum class QuestionEnd { Yes, Cancel, Destroy };

class StandingQuestionTest : public ShrinkTest,
                             public ::testing::WithParamInterface<QuestionEnd> {};

TEST_P(StandingQuestionTest, questionLeftOpen_whileAnotherDownloadRuns_endsAsAnswered) {
    auto asking = std::make_unique<CallbookUpdater>();
    std::optional<DownloadResult> ended;
    QEventLoop loop;
    QObject::connect(asking.get(), &CallbookUpdater::confirmationNeeded, &loop, &QEventLoop::quit);
    QObject::connect(asking.get(), &CallbookUpdater::finished,
                     [&](const DownloadResult& result) { ended = result; });
    QTimer::singleShot(30s, &loop, &QEventLoop::quit);
    ASSERT_TRUE(asking->Start(UrlOf("/members/3"), folder_.CallbookPath()));
    loop.exec();
    const QStringList waiting = folder_.Entries();
    ASSERT_EQ(waiting.size(), 2) << waiting.join(' ').toStdString();
    QFile pending(QDir(folder_.Path()).filePath(waiting[1]));
    // Windows keeps the file to its download alone, so there it cannot even be aged.
    if (pending.open(QIODevice::Append)) {
        ASSERT_TRUE(pending.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3 * 3600),
                                        QFileDevice::FileModificationTime));
        pending.close();
    }
    ASSERT_EQ(Fetch("/members/7").failure, DownloadFailure::None);
    EXPECT_EQ(folder_.Entries(), waiting);
    EXPECT_TRUE(asking->IsBusy());
    switch (GetParam()) {
        case QuestionEnd::Yes:
            asking->Answer(true);
            break;
        case QuestionEnd::Cancel:
            asking->Cancel();
            break;
        case QuestionEnd::Destroy:
            asking.reset();
            break;
    }
    QCoreApplication::processEvents();
    if (GetParam() == QuestionEnd::Destroy) {
        EXPECT_FALSE(ended);
    } else {
        ASSERT_TRUE(ended);
        EXPECT_EQ(ended->failure, GetParam() == QuestionEnd::Yes ? DownloadFailure::None
                                                                 : DownloadFailure::Cancelled);
    }
    EXPECT_EQ(folder_.CallbookBytes(), CallbookOfMembers(GetParam() == QuestionEnd::Yes ? 3 : 7));
    EXPECT_EQ(folder_.Entries(), QStringList{"log.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Ends, StandingQuestionTest,
    ::testing::Values(QuestionEnd::Yes, QuestionEnd::Cancel, QuestionEnd::Destroy),
    [](const auto& info) {
        return std::string(info.index == 0 ? "yes" : info.index == 1 ? "cancel" : "destroy");
    });

TEST(NeedsConfirmation, fewerThanHalfOfTheInstalledMembers) {
    EXPECT_TRUE(NeedsConfirmation(3, 10));
    EXPECT_TRUE(NeedsConfirmation(4, 9));
    EXPECT_FALSE(NeedsConfirmation(5, 10));
    EXPECT_FALSE(NeedsConfirmation(5, 9));
    EXPECT_FALSE(NeedsConfirmation(1, 0));
    EXPECT_FALSE(NeedsConfirmation(1, 1));
}

// A download killed midway leaves its temporary file; the next one removes it, whatever its
// age, and nothing else: not a live download's, nor what only bears such a name.
TEST_F(CallbookUpdaterTest, leftoversOfKilledDownloads_areRemovedByTheNext) {
    const QDir folder(folder_.Path());
    for (const char* name :
         {"log.txt.unduhan-k3x9q2", "log.txt.unduhan-a1b2c3", "log.txt.unduhan-ABCDEF",
          "log.txt.unduhan-abcdefg", "log.txt.backup", "log.txt.kxqwer"}) {
        WriteOrDie(folder.filePath(QString::fromLatin1(name)), "QV27ABC#sebagian");
    }
    PendingCallbook live(folder_.CallbookPath());  // another window's, running
    ASSERT_TRUE(live.Open());
    QStringList kept{"log.txt",
                     "log.txt.backup",
                     "log.txt.kxqwer",
                     "log.txt.unduhan-ABCDEF",
                     "log.txt.unduhan-abcdefg",
                     QFileInfo(live.FileName()).fileName()};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(qPrintable(folder.filePath("log.txt.unduhan-fifo01")), 0600), 0);
    ASSERT_TRUE(
        QFile::link(folder.filePath("log.txt.backup"), folder.filePath("log.txt.unduhan-link01")));
    kept << "log.txt.unduhan-fifo01"
         << "log.txt.unduhan-link01";
#endif
    kept.sort();
    ASSERT_EQ(Fetch("/1028/log.txt").failure, DownloadFailure::None);
    EXPECT_EQ(folder_.Entries(), kept);
    live.Discard();
}

TEST(SyncFolder, ofAFolderThatExists_succeeds) {
    const OldCallbookFolder folder;
    EXPECT_TRUE(SyncFolder(folder.Path()));
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

// A running download refuses a second one, and is ended by Cancel or by destroying the
// updater, whether it waits for the answer or sits in the middle of the body.
TEST_F(CallbookUpdaterTest, secondStartWhileRunning_isRefused_andCancelEndsTheFirst) {
    bool refused = false;
    WhenStalled([&] {
        refused = !updater_.Start(UrlOf("/1028/log.txt"), folder_.CallbookPath());
        updater_.Cancel();
    });
    const DownloadResult result = Fetch("/stall-before-headers");
    EXPECT_TRUE(refused);
    EXPECT_EQ(server_.Requests("/1028/log.txt"), 0);
    EXPECT_EQ(result.failure, DownloadFailure::Cancelled);
    EXPECT_EQ(result.Outcome(), DownloadOutcome::Cancelled);
    EXPECT_FALSE(updater_.IsBusy());
    ExpectOldCallbookUntouched();
}

class DestroyedTest : public CallbookUpdaterTest,
                      public ::testing::WithParamInterface<const char*> {};

TEST_P(DestroyedTest, updaterDestroyedWhileStalled_leavesTheOldFile) {
    auto owned = std::make_unique<CallbookUpdater>();
    bool ended = false;
    QObject::connect(owned.get(), &CallbookUpdater::finished, [&ended] { ended = true; });
    QEventLoop loop;
    WhenStalled([&] {
        owned.reset();
        loop.quit();
    });
    QTimer::singleShot(30s, &loop, &QEventLoop::quit);
    ASSERT_TRUE(owned->Start(UrlOf(GetParam()), folder_.CallbookPath()));
    loop.exec();
    EXPECT_FALSE(owned);
    QCoreApplication::processEvents();
    EXPECT_FALSE(ended);
    ExpectOldCallbookUntouched();
}

INSTANTIATE_TEST_SUITE_P(Where, DestroyedTest,
                         ::testing::Values("/stall-before-headers", "/stall-mid-body"),
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "beforeAnswer" : "midBody");
                         });

}  // namespace
}  // namespace kalvera

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
