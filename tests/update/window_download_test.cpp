// "Unduh Database" seen from the window: the banner, the download panel and the failure box,
// how the menu starts it, and what a second request or closing the window does while it runs.

#include <QFrame>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <chrono>

#include "callbook_server.h"
#include "twips.h"
#include "ui_test_support.h"
#include "update_test_support.h"

using namespace std::chrono_literals;
using namespace kalvera;
using namespace kalvera::testing;

namespace {

const QString kOldBanner = QStringLiteral("Database versi: 2020-01-01 08:00 WIB");
const QString kDownloading = QStringLiteral("Sedang mengunduh database, mohon tunggu..");
const QString kDone = QStringLiteral("Selesai");

// The window over a folder holding the old callbook. Every message box it shows is recorded,
// with whether the download panel was up at that moment.
struct Scene {
    explicit Scene(const QString& source) : form(folder.Path(), source) {
        MessageBoxes::SetObserver([this](const MessageRequest& box) {
            boxes.append(box);
            panelUpAtBox.append(!form.Controls().Frame3->isHidden());
        });
    }
    ~Scene() { MessageBoxes::SetObserver({}); }

    OldCallbookFolder folder;
    Form1 form;
    QList<MessageRequest> boxes;
    QList<bool> panelUpAtBox;
};

}  // namespace

class WindowDownloadTest : public QObject {
    Q_OBJECT

    QString Url(const char* path) const { return QString::fromStdString(server_->Url(path)); }

    // Downloads /gated: `whileHeld` sees the window while the server holds its answer back.
    void DownloadWhileGated(Form1& form, const std::function<void()>& whileHeld) {
        QTimer::singleShot(0, &form, [this, whileHeld] {
            whileHeld();
            server_->OpenGate();
        });
        form.UNDUH_DB();
    }

    std::unique_ptr<CallbookServer> server_;

  private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        server_ = std::make_unique<CallbookServer>();
    }
    void cleanupTestCase() { server_.reset(); }

    void menuItem_downloads_replacesFileShowsVersionAndKeepsRegionList() {
        Scene scene(Url("/1028/log.txt"));
        Form1& form = scene.form;
        QCOMPARE(form.Controls().Label5->text(), kOldBanner);
        const QStringList regions = ComboItems(form);
        const int before = server_->Requests("/1028/log.txt");
        QVERIFY(ShowActive(form));
        QVERIFY(ChooseFromMenu(form, "mUnduh").chosen);
        QCOMPARE(server_->Requests("/1028/log.txt") - before, 1);
        QCOMPARE(scene.folder.CallbookBytes(), QByteArray(kFreshCallbook));
        QCOMPARE(scene.folder.Entries(), QStringList{"log.txt"});
        QCOMPARE(form.Controls().Label5->text(),
                 QStringLiteral("Database versi: 2025-06-01 10:00 WIB"));
        QVERIFY(scene.boxes.isEmpty());
        QVERIFY(form.Controls().Frame3->isHidden());
        QCOMPARE(form.Controls().Label4->text(), kDone);
        // The region list stays as start-up made it; the next lookup reads the new file.
        QCOMPARE(ComboItems(form), regions);
        QVERIFY_OK(SearchFor(form, QStringLiteral("ABC")));
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Budi"));
    }

    void download_ofFileWithoutVersionLine_keepsBanner() {
        Scene scene(Url("/members-only"));
        scene.form.UNDUH_DB();
        QCOMPARE(scene.folder.CallbookBytes(), QByteArray(kMembersOnly));
        QCOMPARE(scene.form.Controls().Label5->text(), kOldBanner);
        QVERIFY(scene.boxes.isEmpty());
    }

    // Each way a server can misbehave, and what the log says about it.
    void download_failing_keepsOldFileAndSaysSoOnce_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("deadlineMs");
        const int never = 60000;
        QTest::newRow("not found") << Url("/1028/tidak-ada.txt") << "HTTP status 404" << never;
        QTest::newRow("nul byte") << Url("/with-nul") << "not a callbook (holds a NUL" << never;
        QTest::newRow("stalled server") << Url("/stall-mid-body") << "no data in time" << never;
        QTest::newRow("connection refused") << UnusedPortUrl() << "server unreachable" << never;
        QTest::newRow("captive portal")
            << Url("/captive-portal") << "not a callbook (an HTML page)" << never;
        QTest::newRow("portal without tags")
            << Url("/portal-as-text") << "not a callbook (no member or version line)" << never;
        QTest::newRow("no length, cut mid-line") << Url("/no-length-cut") << "cut short" << never;
        QTest::newRow("chunked, cut mid-line") << Url("/chunked-cut") << "cut short" << never;
        QTest::newRow("redirect to another host")
            << Url("/to-other-host") << "redirect to another host" << never;
        QTest::newRow("slow drip") << Url("/drip-once/row") << "not done by the deadline" << 1000;
        QTest::newRow("version line of 60 MB")
            << Url("/long-version-line") << "not a callbook (a line is too long)" << never;
    }

    void download_failing_keepsOldFileAndSaysSoOnce() {
        QFETCH(QString, source);
        QFETCH(QString, reason);
        QFETCH(int, deadlineMs);
        Scene scene(source);
        // The drip's bytes come far more often than the idle time.
        scene.form.Updater().SetTimeouts(DownloadTimeouts{2s, deadlineMs < 60000 ? 5000ms : 300ms,
                                                          std::chrono::milliseconds(deadlineMs)});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^download failed: ") +
                                                              QRegularExpression::escape(reason)));
        scene.form.UNDUH_DB();
        QCOMPARE(scene.boxes.size(), 1);
        QCOMPARE(scene.boxes[0].text,
                 QStringLiteral("Database gagal diunduh. Database lama tetap dipakai."));
        QCOMPARE(scene.boxes[0].title, QStringLiteral("Informasi"));
        QCOMPARE(scene.boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(scene.panelUpAtBox, QList<bool>{false});
        QVERIFY(scene.form.Controls().Frame3->isHidden());
        QCOMPARE(scene.folder.CallbookBytes(), kOldCallbook);
        QCOMPARE(scene.folder.Entries(), QStringList{"log.txt"});
        QCOMPARE(scene.form.Controls().Label5->text(), kOldBanner);
        QVERIFY(!scene.form.Updater().IsBusy());
    }

    // The deadline frees the menu item: the next download runs and installs.
    void download_afterDeadline_runsAgainAndInstalls() {
        Scene scene(Url("/drip-once/again"));
        scene.form.Updater().SetTimeouts(DownloadTimeouts{5s, 5s, 1s});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not done by the deadline"));
        scene.form.UNDUH_DB();
        QCOMPARE(scene.boxes.size(), 1);
        QCOMPARE(scene.folder.CallbookBytes(), kOldCallbook);
        scene.form.UNDUH_DB();
        QCOMPARE(scene.boxes.size(), 1);
        QCOMPARE(scene.folder.CallbookBytes(), QByteArray(kFreshCallbook));
        QCOMPARE(scene.folder.Entries(), QStringList{"log.txt"});
        QCOMPARE(scene.form.Controls().Label5->text(),
                 QStringLiteral("Database versi: 2025-06-01 10:00 WIB"));
    }

    // Across the lookup panel's band with its label centred, and the same again next time. A
    // request made while one runs is ignored.
    void download_panel_spansLookupBandWithCentredLabelEveryTime() {
        Scene scene(Url("/gated"));
        Form1& form = scene.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const int before = server_->Requests("/gated");
        QList<TwipsRect> seen;  // panel and label, twice
        for (int twice = 0; twice < 2; ++twice) {
            DownloadWhileGated(form, [&] {
                QVERIFY(form.Controls().Frame3->isVisible());
                QCOMPARE(form.Controls().Label4->text(), kDownloading);
                seen << GeometryTwips(form.Controls().Frame3)
                     << GeometryTwips(form.Controls().Label4);
                QVERIFY(form.Updater().IsBusy());
                form.UNDUH_DB();
            });
        }
        QCOMPARE(server_->Requests("/gated") - before, 2);
        QCOMPARE(seen.size(), 4);
        QCOMPARE(seen[0].left, 90);
        QCOMPARE(seen[0].top, 2745);
        QCOMPARE(seen[0].width, 5220);
        // Half of 5220, less half of the label's width truncated toward zero.
        QCOMPARE(seen[1].left, 2610 - seen[1].width / 2);
        QCOMPARE(CentredLeft(5220, 2901), 1160);
        QCOMPARE(seen.mid(2), seen.mid(0, 2));
        QCOMPARE(scene.folder.CallbookBytes(), QByteArray(kFreshCallbook));
        QVERIFY(scene.boxes.isEmpty());
        QVERIFY(form.Controls().Frame3->isHidden());
    }

    void download_windowClosedMeanwhile_isCancelledAndOldFileKept() {
        Scene scene(Url("/stall-before-headers"));  // only the cancel can end this one in time
        scene.form.Updater().SetTimeouts(DownloadTimeouts{2s, 2s});
        scene.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&scene.form));
        QTimer::singleShot(0, &scene.form, [&scene] { QVERIFY(scene.form.close()); });
        scene.form.UNDUH_DB();
        QVERIFY(!scene.form.isVisible());
        QVERIFY(!scene.form.Updater().IsBusy());
        QCOMPARE(scene.folder.CallbookBytes(), kOldCallbook);
        QCOMPARE(scene.folder.Entries(), QStringList{"log.txt"});
        QVERIFY(scene.boxes.isEmpty());
        // Nothing after the transfer ran: the panel is left as the transfer found it.
        QCOMPARE(scene.form.Controls().Label4->text(), kDownloading);
    }
};

QTEST_MAIN(WindowDownloadTest)
#include "window_download_test.moc"
