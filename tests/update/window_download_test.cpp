// "Unduh Database" seen from the window: how the menu starts it, the download panel, the
// banner, the failure box and the question about far fewer members, and what closing the
// window does while it runs.

#include <QElapsedTimer>
#include <QFrame>
#include <QSignalSpy>

#include "scripted_http_server.h"
#include "twips.h"
#include "ui_test_support.h"
#include "update_test_support.h"
#include "window_texts.h"

using namespace kalvera;
using namespace kalvera::testing;

namespace {

const QString kDownloading = QStringLiteral("Sedang mengunduh database, mohon tunggu..");
const QString kFailedNoCallbook =
    QStringLiteral("Database gagal diunduh.\nBerkas yang dikirim server bukan database anggota.");

// The window over a folder holding `callbook`, every message box it shows recorded from
// start-up on; a question is answered as MessageBoxes::SetAnswer says, Tidak unless told
// otherwise.
struct Scene {
    explicit Scene(const QString& source, const QByteArray& callbook = kOldCallbook)
        : folder(callbook), form(folder.path(), source), ended(&form, &Form1::downloadEnded) {}

    // Waits until the window shows how the download ended; what it said it was.
    DownloadOutcome Ended() {
        if (ended.isEmpty() && !ended.wait(60000)) {
            qFatal("the download did not end within a minute");
        }
        QCoreApplication::processEvents();
        return ended.at(0).at(0).value<DownloadOutcome>();
    }
    QStringList Texts() const {
        QStringList texts;
        for (const MessageRequest& box : recorded.boxes) {
            texts << box.text;
        }
        return texts;
    }

    RecordedBoxes recorded;
    CallbookFolder folder;
    Form1 form;
    QSignalSpy ended;
};

}  // namespace

class WindowDownloadTest : public QObject {
    Q_OBJECT

    QString Url(const char* path) const { return server_.Url(QString::fromLatin1(path)); }

    ScriptedHttpServer server_;

  private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        server_.Answer("/log.txt", {LengthAnswer(200, kFreshCallbook)});
        server_.Answer("/notice", {LengthAnswer(200, "Mohon maaf, layanan dipindahkan.\r\n")});
        server_.Answer("/members/3", {LengthAnswer(200, CallbookOfMembers(3))});
        server_.Answer("/stall", {{}, true});
    }

    // Installed, the banner shows the new version and no box shows. Failed, one box says that
    // and why the download failed, and that the old callbook goes on being used: only when
    // there is one, not on a first download nor after start-up found log.txt damaged; the
    // banner stays as it was. Either way the panel goes and says it is done.
    void download_ending_showsTheNewVersionOrSaysWhyOnce() {
        const std::tuple<const char*, QByteArray, QStringList> cases[] = {
            {"/log.txt", kOldCallbook, {}},
            {"/notice", kOldCallbook, {kFailedNoCallbook + "\nDatabase lama tetap dipakai."}},
            {"/notice", {}, {kFailedNoCallbook, "Database tidak ditemukan!"}},
            {"/notice", QByteArray(512, '\0'), {kDamagedCallbookMessage, kFailedNoCallbook}},
        };
        for (const auto& [path, callbook, boxes] : cases) {
            Scene scene(Url(path), callbook.isNull() ? kOldCallbook : callbook);
            QVERIFY(!callbook.isNull() || QFile::remove(scene.folder.Callbook()));
            const Form1Controls& controls = scene.form.Controls();
            const QString banner = controls.Label5->text();
            const bool installs = boxes.isEmpty();
            scene.form.UNDUH_DB();
            QCOMPARE(scene.Ended(),
                     installs ? DownloadOutcome::Installed : DownloadOutcome::Failed);
            QCOMPARE(scene.Texts(), boxes);
            QVERIFY(controls.Frame3->isHidden());
            QCOMPARE(controls.Label4->text(), QStringLiteral("Selesai"));
            QCOMPARE(controls.Label5->text(),
                     installs ? QStringLiteral("Database versi: 2025-06-01 10:00 WIB") : banner);
            QCOMPARE(BytesOf(scene.folder.Callbook()), installs            ? kFreshCallbook
                                                       : callbook.isNull() ? "<missing>"
                                                                           : callbook);
            // The start-up box comes before the failure, the banner's after it.
            for (const MessageRequest& box :
                 scene.recorded.boxes.mid(callbook.startsWith('\0'), 1)) {
                QCOMPARE(box.icon, QMessageBox::Warning);
                QCOMPARE(box.title, QStringLiteral("Informasi"));
            }
        }
    }

    // What the member is told for each way a download can fail: the log's words for the
    // failure, then the box's line that says why, as failure_reasons.txt holds them. After a
    // deliberate change, KALVERA_UPDATE_GOLDENS=1 writes the file anew: look at its diff.
    void failureReason_namesTheCauseAndWhatToDo() {
        QString told;
        for (int failure = 0; failure <= int(DownloadFailure::Cancelled); ++failure) {
            const DownloadResult result{DownloadFailure(failure), 503};
            told += QString::fromLatin1(Describe(result.failure)) + ": " +
                    DownloadFailureReason(result) + '\n';
        }
        const QString golden = QStringLiteral(KALVERA_UPDATE_TEST_DIR "/failure_reasons.txt");
        if (qEnvironmentVariableIsSet("KALVERA_UPDATE_GOLDENS")) {
            WriteOrDie(golden, told.toUtf8());
        }
        QCOMPARE(told, QString::fromUtf8(BytesOf(golden)));
    }

    // A callbook with far fewer members than the installed one is asked about, and the window
    // goes on working meanwhile: Ya installs it, Tidak keeps the old one byte for byte, and
    // so does closing the window instead, however the member answers after.
    void download_ofFarFewerMembers_isAskedWithoutBlocking() {
        using O = DownloadOutcome;
        for (const auto& [answer, outcome] :
             {std::pair{"Ya", O::Installed}, {"Tidak", O::Declined}, {"close", O::Cancelled}}) {
            Scene scene(Url("/members/3"), CallbookOfMembers(10));
            MessageBoxes::HoldAnswers();
            scene.form.UNDUH_DB();
            QTRY_COMPARE_WITH_TIMEOUT(scene.recorded.boxes.size(), 1, 30000);
            QCOMPARE(scene.Texts()[0],
                     QStringLiteral("Database baru hanya berisi 3 anggota; database "
                                    "yang terpasang berisi 10 anggota. Tetap pasang?"));
            QCOMPARE(scene.recorded.boxes[0].icon, QMessageBox::Question);
            QVERIFY(scene.recorded.boxes[0].question);
            QVERIFY(scene.ended.isEmpty());
            if (answer == std::string_view("close")) {
                QVERIFY(scene.form.close());
            }
            QVERIFY(MessageBoxes::AnswerHeld(answer != std::string_view("Tidak")));
            QCOMPARE(scene.Ended(), outcome);
            QCOMPARE(scene.ended.size(), 1);
            QCOMPARE(BytesOf(scene.folder.Callbook()),
                     CallbookOfMembers(outcome == O::Installed ? 3 : 10));
            QCOMPARE(EntriesOf(scene.folder.path()), QStringList{"log.txt"});
            QCOMPARE(scene.recorded.boxes.size(), 1);
        }
    }

    // While the transfer runs the panel spans the lookup panel's band with its label centred,
    // and a second request is ignored. Closing the window cancels the transfer at once: one the
    // server leaves unanswered, or, under update_window_exit_while_resolving, one whose name
    // lookup never ends. No box shows, and the panel stays as the transfer left it; what a
    // cancelled download leaves in the folder the updater's own tests show.
    void menuItem_showsThePanelWhileWaiting_andClosingTheWindowCancelsAtOnce() {
        const bool lookupHangs = !qEnvironmentVariableIsEmpty("KALVERA_SILENT_RESOLVER");
        Scene scene(lookupHangs ? QString::fromLatin1(kCallbookSourceUrl) : Url("/stall"));
        const Form1Controls& controls = scene.form.Controls();
        const int requests = server_.Requests("/stall");
        QVERIFY(ShowActive(scene.form));
        QVERIFY(ChooseFromMenu(scene.form, "mUnduh").chosen);
        scene.form.UNDUH_DB();
        QTest::qWait(500);
        QCOMPARE(server_.Requests("/stall"), requests + (lookupHangs ? 0 : 1));
        QVERIFY(scene.ended.isEmpty());
        QVERIFY(!controls.Frame3->isHidden());
        QCOMPARE(controls.Label4->text(), kDownloading);
        const TwipsRect panel = GeometryTwips(controls.Frame3);
        const TwipsRect label = GeometryTwips(controls.Label4);
        QCOMPARE(QList<int>({panel.left, panel.top, panel.width}), QList<int>({90, 2745, 5220}));
        // Half of each width, truncated toward zero.
        QCOMPARE(label.left, 2610 - label.width / 2);
        QCOMPARE(CentredLeft(5220, 2901), 1160);
        QElapsedTimer closing;
        closing.start();
        QVERIFY(scene.form.close());
        QCOMPARE(scene.Ended(), DownloadOutcome::Cancelled);
        QCOMPARE_LT(closing.elapsed(), 1000);
        QVERIFY(!scene.form.Updater().IsBusy());
        QVERIFY(scene.recorded.boxes.isEmpty());
        QCOMPARE(controls.Label4->text(), kDownloading);
    }
};

QTEST_MAIN(WindowDownloadTest)
#include "window_download_test.moc"
