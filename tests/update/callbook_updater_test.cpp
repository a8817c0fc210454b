// The download against a real HTTP server on 127.0.0.1 that writes exactly the bytes each case
// scripts, and the rules it follows that need no server: which header sections it reads and
// where it may be redirected.

#include "update/callbook_updater.h"

#include <gtest/gtest.h>

#include <QtCore/qtestsupport_core.h>
#include <QCoreApplication>
#include <memory>
#include <optional>

#include "scripted_http_server.h"
#include "update/http_head_reader.h"
#include "update/http_url.h"
#include "update/pending_callbook.h"
#include "update_test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

// GoogleTest shows a QString (and so a list of file names) as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace kalvera {
namespace {

using namespace std::chrono_literals;
using namespace kalvera::testing;

// What the downloads logged ("kalvera.update"), one message an entry.
QStringList updateLog;

// Starts a download and runs the event loop until it ends: how it ended, in the log's words
// (Describe), or "(no end)" when it did not start or did not end within a minute.
std::string RunDownload(CallbookUpdater& updater, const QUrl& source, const QString& file) {
    std::optional<DownloadResult> result;
    const auto connection = QObject::connect(&updater, &CallbookUpdater::finished,
                                             [&](const DownloadResult& ended) { result = ended; });
    if (updater.Start(source, file)) {
        (void)QTest::qWaitFor([&] { return result.has_value(); }, 60000);
    }
    QObject::disconnect(connection);
    return result ? std::string(Describe(result->failure)) : "(no end)";
}

class Download : public ::testing::Test {
  protected:
    void SetUp() override {
        updater_.SetTimeouts(DownloadTimeouts{2s, 2s, 20s});
        server_.Answer("/1028/log.txt", {LengthAnswer(200, kFreshCallbook)});
        server_.Answer("/stall-mid-body", {LengthAnswer(200, kFreshCallbook).chopped(99), true});
        server_.Answer("/members/3", {LengthAnswer(200, CallbookOfMembers(3))});
        for (int hop = 1; hop <= 5; ++hop) {
            server_.Answer(
                "/hop/" + QByteArray::number(hop),
                {LengthAnswer(302, {}, "Location: /hop/" + QByteArray::number(hop - 1) + "\r\n")});
        }
        server_.Answer("/hop/0", {LengthAnswer(200, kFreshCallbook)});
    }

    QUrl UrlOf(const QByteArray& path) const { return QUrl(server_.Url(QString(path))); }
    std::string Fetch(const QByteArray& path) {
        return RunDownload(updater_, UrlOf(path), folder_.Callbook());
    }

    CallbookFolder folder_;
    ScriptedHttpServer server_;
    CallbookUpdater updater_;
};

// Each download ends with the whole callbook installed, or with the old one kept byte for byte
// and nothing left beside it; the log says which, and why. One updater runs them all in turn:
// each starts afresh, however the one before ended. The first finds no log.txt and creates it;
// one into a folder that is not there fails before any request.
TEST_F(Download, installsOnlyAWholeCallbook_andLogsWhyNot) {
    const QByteArray fresh = kFreshCallbook;
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    const char* installed = "installed 152 bytes, 2 members, from";
    const QByteArray port = QByteArray::number(server_.serverPort());
    const std::pair<ScriptedAnswer, const char*> routes[] = {
        // Framed by its length, by chunks (a length beside them is void), or by the close.
        {{LengthAnswer(200, fresh)}, installed},
        {{ChunkedAnswer(fresh, true, "Content-Length: 10\r\n")}, installed},
        {{ok + "\r\n" + fresh}, installed},
        {{ok + "Content-Length: 1000\r\n\r\n" + fresh}, "cut short"},
        {{ChunkedAnswer(fresh, false)}, "cut short"},
        {{ChunkedAnswer(fresh, false, "Content-Length: 152\r\n")}, "cut short"},
        {{ok + "\r\n" + fresh + "QV27AAA#Anggota#"}, "cut short"},
        {{ok + "Transfer-Encoding : chunked\r\n\r\n" + fresh},
         "a malformed answer [a blank between a field name and its colon"},
        // Redirects: the redirect's own body is not the callbook.
        {{LengthAnswer(302, "Pindah.\r\n", "Location: /1028/log.txt\r\n")}, installed},
        {{LengthAnswer(302, {}, "Location: /hop/4\r\n")}, installed},
        {{LengthAnswer(302, {}, "Location: /hop/5\r\n")}, "too many redirects"},
        {{LengthAnswer(302, {}, "Location: http://localhost:" + port + "/1028/log.txt\r\n")},
         "redirect to another host"},
        // Answers that are no callbook.
        {{LengthAnswer(404, "")}, "HTTP status 404"},
        {{"HTTP/1.1 503 Busy\r\nContent-Length: 99\r\n\r\nSibuk\r\n", true}, "HTTP status 503"},
        {{LengthAnswer(200, fresh, "Content-Type: text/html; charset=utf-8\r\n")},
         "not a callbook (an HTML page)"},
        {{LengthAnswer(200, fresh + '\0')}, "not a callbook (holds a NUL character)"},
        {{LengthAnswer(200, fresh + QByteArray(70000, '#'))},
         "not a callbook (a line is too long)"},
        {{LengthAnswer(200, "Wi-Fi Kafe\r\n")}, "not a callbook (no member or version line)"},
        {{LengthAnswer(200, "versi: 2025-07-01 07:00\r\n")}, "not a callbook (no member line)"},
        {{LengthAnswer(200, fresh, "Content-Encoding: gzip\r\n")}, "compressed"},
        {{ok + "Content-Length: 67108865\r\n\r\n" + fresh}, "too large"},
        // Servers that stop.
        {{{}, true}, "no answer in time"},
        {{LengthAnswer(200, fresh).chopped(99), true}, "no data in time"},
    };
    ASSERT_TRUE(QFile::remove(folder_.Callbook()));
    for (const auto& [answer, logged] : routes) {
        SCOPED_TRACE(::testing::PrintToString(answer.bytes.left(90).toStdString()));
        server_.Answer("/route", answer);
        updateLog.clear();
        updater_.Cancel();  // with nothing running: harmless
        Fetch("/route");
        const bool installs = logged == std::string_view(installed);
        EXPECT_EQ(BytesOf(folder_.Callbook()), installs ? fresh : kOldCallbook);
        EXPECT_EQ(EntriesOf(folder_.path()), QStringList{"log.txt"});
        const QString line = (installs ? "" : "download failed: ") + QString(logged);
        EXPECT_TRUE(updateLog.value(0).startsWith(line)) << updateLog.join('\n').toStdString();
        EXPECT_FALSE(updater_.IsBusy());
        WriteOrDie(folder_.Callbook(), kOldCallbook);
    }
    EXPECT_EQ(RunDownload(updater_, QUrl("http://127.0.0.1:1/"), folder_.Callbook()),
              "server unreachable");
    EXPECT_EQ(RunDownload(updater_, QUrl("ftp://127.0.0.1/"), folder_.Callbook()),
              "not an http or https URL");
    EXPECT_EQ(RunDownload(updater_, UrlOf("/route"), folder_.filePath("x/log.txt")),
              "could not write the callbook");
    EXPECT_EQ(server_.Requests("/route"), int(std::size(routes)));
}

// A download mid-body, or one that asks about far fewer members and waits for the answer
// however long, refuses a second one in the same updater. Cancelled or destroyed, it leaves
// nothing behind. (That another updater's download spares its temporary file the leftovers'
// case shows.)
TEST_F(Download, standingDownload_refusesASecond_andLeavesNothingWhenEnded) {
    for (const auto& [path, cancel] :
         {std::pair{"/stall-mid-body", true}, {"/stall-mid-body", false}, {"/members/3", false}}) {
        SCOPED_TRACE(std::string(path) + (cancel ? " cancelled" : " destroyed"));
        WriteOrDie(folder_.Callbook(), CallbookOfMembers(7));
        auto standing = std::make_unique<CallbookUpdater>();
        std::string ended = "(no end)";
        bool asked = false;
        QObject::connect(standing.get(), &CallbookUpdater::finished,
                         [&](const DownloadResult& result) { ended = Describe(result.failure); });
        QObject::connect(standing.get(), &CallbookUpdater::confirmationNeeded,
                         [&] { asked = true; });
        const int stalls = server_.Stalls();
        ASSERT_TRUE(standing->Start(UrlOf(path), folder_.Callbook()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return asked || server_.Stalls() > stalls; }, 30000));
        EXPECT_FALSE(standing->Start(UrlOf(path), folder_.Callbook()));
        EXPECT_EQ(EntriesOf(folder_.path()).size(), 2);  // log.txt and the temporary file
        if (cancel) {
            standing->Cancel();
        } else {
            standing.reset();
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(ended, cancel ? "cancelled" : "(no end)");
        EXPECT_EQ(EntriesOf(folder_.path()), QStringList{"log.txt"});
    }
}

// At half of the installed members or more nobody is asked; below, with nobody to ask, the old
// callbook stays.
TEST_F(Download, farFewerMembersWithNobodyToAsk_areDeclined) {
    WriteOrDie(folder_.Callbook(), CallbookOfMembers(6));
    EXPECT_EQ(Fetch("/members/3"), "none");
    WriteOrDie(folder_.Callbook(), CallbookOfMembers(7));
    EXPECT_EQ(Fetch("/members/3"), "declined: far fewer members than installed");
    EXPECT_EQ(BytesOf(folder_.Callbook()), CallbookOfMembers(7));
}

// The deadline ends a transfer whatever its idle time allows, never before its time, and the
// updater is free for the next one.
TEST_F(Download, stalledMidBody_endsAtTheDeadline_andTheNextDownloadInstalls) {
    updater_.SetTimeouts(DownloadTimeouts{5s, 5s, 1s});
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Fetch("/stall-mid-body"), "not done by the deadline");
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_EQ(Fetch("/1028/log.txt"), "none");
}

// Program Files or a read-only share, found before the server is asked, and a full disk, found
// when the callbook is written: nothing in the folder changes. The folders come from
// tests/support/program_folder.sh; on Windows log.txt is marked read-only instead.
TEST_F(Download, intoFolderThatTakesNoCallbook_failsWithTheTrueCause) {
    const QString full = qEnvironmentVariable("KALVERA_FULL_DISK_FOLDER");
    QString folder = full.isEmpty() ? qEnvironmentVariable("KALVERA_READ_ONLY_FOLDER") : full;
#ifdef _WIN32
    QFile::setPermissions(folder_.Callbook(), QFileDevice::ReadOwner);
    folder = QFileInfo(folder_.Callbook()).isWritable() ? QString() : folder_.path();
#endif
    if (folder.isEmpty()) {
        GTEST_SKIP() << "update_read_only and update_full_disk run this case";
    }
    const QString callbook = QDir(folder).filePath(QStringLiteral("log.txt"));
    const QByteArray before = BytesOf(callbook);
    const QStringList entries = EntriesOf(folder);
    EXPECT_EQ(RunDownload(updater_, UrlOf("/1028/log.txt"), callbook),
              full.isEmpty() ? "could not write the callbook" : "the disk is full");
    EXPECT_EQ(server_.Requests("/1028/log.txt"), full.isEmpty() ? 0 : 1);
    EXPECT_EQ(BytesOf(callbook), before);
    EXPECT_EQ(EntriesOf(folder), entries);
}

// Over https the server's certificate is checked against what is trusted (here only the
// tests' own): one made out for another name installs nothing. Wine cannot serve TLS with
// Qt's Schannel backend.
TEST_F(Download, overHttps_installsOnlyWithACertificateForTheHost) {
    const QString tls = qEnvironmentVariable("KALVERA_TEST_TLS");
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr) {
        GTEST_SKIP() << "Wine cannot serve TLS";
    }
#endif
    if (tls.isEmpty()) {
        GTEST_SKIP() << "no test certificates; update_test_certificates makes them";
    }
    updater_.TrustOnlyForTesting(tls + QStringLiteral("/trusted.pem"));
    const QUrl source(server_.Url(QStringLiteral("/1028/log.txt"), QStringLiteral("https")));
    ASSERT_TRUE(server_.ServeTls(tls + "/other.pem", tls + "/other.key"));
    EXPECT_EQ(RunDownload(updater_, source, folder_.Callbook()),
              "the server's certificate does not check out");
    ASSERT_TRUE(server_.ServeTls(tls + "/server.pem", tls + "/server.key"));
    EXPECT_EQ(RunDownload(updater_, source, folder_.Callbook()), "none");
    EXPECT_EQ(server_.Requests("/1028/log.txt"), 1);
    EXPECT_EQ(BytesOf(folder_.Callbook()), kFreshCallbook);
}

// A download killed midway leaves its temporary file; the next one removes it, whatever its
// age, and nothing else: not a live download's, nor what only bears such a name.
TEST_F(Download, leftoversOfKilledDownloads_areRemovedByTheNext) {
    QStringList kept{"log.txt.unduhan-ABCDEF", "log.txt.unduhan-abcdefg", "log.txt.backup"};
    for (const QString& name : kept + QStringList{"log.txt.unduhan-az09k3"}) {
        WriteOrDie(folder_.filePath(name), "QV27ABC#sebagian");
    }
    PendingCallbook live(folder_.Callbook());  // another window's, running
    ASSERT_TRUE(live.Open());
    kept << "log.txt" << QFileInfo(live.FileName()).fileName();
#ifndef _WIN32
    ASSERT_EQ(::mkfifo(qPrintable(folder_.filePath("log.txt.unduhan-fifo01")), 0600), 0);
    ASSERT_TRUE(QFile::link(folder_.filePath("log.txt.backup"),
                            folder_.filePath("log.txt.unduhan-link01")));
    kept << "log.txt.unduhan-fifo01"
         << "log.txt.unduhan-link01";
#endif
    kept.sort();
    EXPECT_EQ(Fetch("/1028/log.txt"), "none");
    EXPECT_EQ(EntriesOf(folder_.path()), kept);
}

// A header section as curl hands it over, a line at a time: the status and the framing the
// reader takes from it, or "refused" when HTTP calls it malformed.
std::string Read(std::string_view section) {
    HttpHeadReader reader;
    HttpHeadReader::Step step = HttpHeadReader::Step::More;
    while (!section.empty() && step == HttpHeadReader::Step::More) {
        const std::size_t end = section.find('\n') + 1;
        step = reader.Take(section.substr(0, end));
        section.remove_prefix(end);
    }
    if (step != HttpHeadReader::Step::Final) {
        return reader.Problem().empty() ? "neither taken nor refused" : "refused";
    }
    const HttpHead& head = reader.Head();
    return std::to_string(head.status) + " length " + std::to_string(head.contentLength) +
           (head.chunked ? " chunked" : "");
}

TEST(HttpHeadReader, takesOnlySectionsHttpCallsWellFormed) {
    const std::pair<const char*, const char*> taken[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n", "200 length 12"},
        {"HTTP/1.0 200\nContent-Type: text/plain\n\n", "200 length -1"},
        {"HTTP/1.1 200 OK\nTransfer-Encoding: ChunKed\nContent-Length: 5\n\n",
         "200 length -1 chunked"},
        {"HTTP/1.1 100 Go\nX-A: b\n\nHTTP/1.1 200 OK\nContent-Length:007\nContent-Length: 7\n\n",
         "200 length 7"},
        {"HTTP/1.1 204 No Content\nContent-Length: 0\n\n", "204 length -1"},
        {"HTTP/1.1 304 Same\nTransfer-Encoding: chunked\n\n", "304 length -1"},
    };
    for (const auto& [section, head] : taken) {
        EXPECT_EQ(Read(section), head) << section;
    }
    // Status lines that are not HTTP/1.0 or HTTP/1.1, and sections HTTP calls malformed.
    for (const char* section :
         {"http/1.1 200 OK\n\n", "HTTP/2 200\n\n", "HTTP/1.2 200 OK\n\n", "HTTP/1.1 20 OK\n\n",
          "HTTP/1.1 200OK\n\n", "HTTP/1.1 099 Low\n\n", "HTTP/1.1 100 Go\n\nhttp/1.1 200 OK\n\n",
          "HTTP/1.1 200 OK\nX-A: b", "HTTP/1.1 103 Early\nContent-Length: 0\n\nHTTP/1.1 200 OK\n\n",
          "HTTP/1.1 100 Go\nTransfer-Encoding: chunked\n\nHTTP/1.1 200 OK\n\n",
          "HTTP/1.0 200 OK\nTransfer-Encoding: chunked\n\n"}) {
        EXPECT_EQ(Read(section), "refused") << section;
    }
    // Field lines HTTP forbids, in an answer that is otherwise good.
    for (const char* field :
         {"\tTransfer-Encoding: chunked", " Transfer-Encoding: chunked", "no colon here",
          ": no name", "Content Length: 3", "X-A: b\rc", "Transfer-Encoding: gzip, chunked",
          "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked",
          "Content-Length: 10\r\nContent-Length: 6", "Content-Length: 10, 10",
          "Content-Length: ", "Content-Length: 99999999999999999999"}) {
        EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nX-A: b\r\n" + std::string(field) + "\r\n\r\n"),
                  "refused")
            << field;
    }
}

TEST(MayRedirect, sameHostOnly_andFromHttpsNeverBackToHttp) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"http://h.id/a", "http://h.id:80/b", true},
        {"HTTP://H.Id:80/a", "http://h.id/b?c#d", true},
        {"https://h.id/a", "https://h.id:443/", true},
        {"http://h.id/a", "https://h.id/a", true},
        {"http://h.id:8080/a", "https://h.id:8080/a", true},
        {"http://h.id:8080/a", "https://h.id:8443/a", false},
        {"https://h.id/a", "http://h.id/a", false},
        {"https://h.id:8080/a", "https://h.id/a", false},
        {"http://h.id/a", "http://h.id:8080/a", false},
        {"http://h.id/a", "https://other.id/a", false},
        {"http://h.id/a", "not a url", false},
        {"ftp://h.id/a", "ftp://h.id/a", false},
        {"http://h.id/a", "ftp://h.id:80/a", false},
    };
    for (const auto& [current, target, allowed] : cases) {
        EXPECT_EQ(MayRedirect(current, target), allowed) << current << " -> " << target;
    }
    EXPECT_EQ(ResolveUrl("http://h.id/1028/log.txt", "baru.txt"), "http://h.id/1028/baru.txt");
    EXPECT_EQ(ResolveUrl("http://h.id/a", "https://o.id/b"), "https://o.id/b");
}

}  // namespace
}  // namespace kalvera

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& text) {
        if (QByteArray(context.category) == "kalvera.update") {
            kalvera::updateLog << text;
        }
    });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
