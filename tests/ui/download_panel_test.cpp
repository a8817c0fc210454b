// "Unduh Database" as the window shows it: the download panel, the banner afterwards, the
// failure box, and what closing the window does to a running download. The server is real.

#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <functional>

#include "local_http_server.h"
#include "twips.h"
#include "ui_test_support.h"
#include "window_texts.h"

using namespace kalvera;
using namespace kalvera::testing;

namespace {

const QByteArray kOldCallbook =
    "versi: 2026-01-01 08:00\r\nQV27ABC#Lama#Jl. Melati 7#Kab. Contoh#0412#2099-12-31#\r\n";
const std::string kNewCallbook =
    "versi: 2027-02-02 09:30\r\nQV27ABC#Baru#Jl. Melati 7#Kota Baru#0412#2099-12-31#\r\n";

struct PanelSeen {
    bool visible = false;
    TwipsRect panel;
    TwipsRect label;
    QString caption;
};

PanelSeen LookAtPanel(const Form1& form) {
    return {form.Controls().Frame3->isVisible(), GeometryTwips(form.Controls().Frame3),
            GeometryTwips(form.Controls().Label4), form.Controls().Label4->text()};
}

// Runs UNDUH_DB with the server holding its answer; `whileRunning` sees the window mid-download.
void DownloadWhileHeld(Form1& form, LocalHttpServer& server,
                       const std::function<void()>& whileRunning) {
    server.Hold();
    QTimer::singleShot(0, [&server, whileRunning] {
        whileRunning();
        server.Release();
    });
    form.UNDUH_DB();
}

}  // namespace

class DownloadPanelTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void download_success_installsFileAndShowsItsVersion() {
        LocalHttpServer server(200, kNewCallbook);
        const ProgramFolder folder(kOldCallbook);
        const RecordedBoxes recorded;
        Form1 form(folder.Path(), server.Url());
        const int regions = form.Controls().Combo1->count();
        form.UNDUH_DB();
        QCOMPARE(folder.ReadCallbook(), QByteArray::fromStdString(kNewCallbook));
        QCOMPARE(form.Controls().Label5->text(),
                 QStringLiteral("Database versi: 2027-02-02 09:30 WIB"));
        QVERIFY(recorded.boxes.isEmpty());
        QVERIFY(form.Controls().Frame3->isHidden());
        QCOMPARE(form.Controls().Label4->text(), QStringLiteral("Selesai"));
        // The region list is not rebuilt; lookups read the new file.
        QCOMPARE(form.Controls().Combo1->count(), regions);
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Baru"));
    }

    void download_withoutVersionLine_keepsBanner() {
        LocalHttpServer server(200, "QV27ABC#Baru#Jl. Melati 7#Kota Baru#0412#2099-12-31#\r\n");
        const ProgramFolder folder(kOldCallbook);
        Form1 form(folder.Path(), server.Url());
        form.UNDUH_DB();
        QVERIFY(folder.ReadCallbook().startsWith("QV27ABC#Baru"));
        QCOMPARE(form.Controls().Label5->text(),
                 QStringLiteral("Database versi: 2026-01-01 08:00 WIB"));
    }

    void download_panelCoversLookupBandWithCentredMessage() {
        LocalHttpServer server(200, kNewCallbook);
        const ProgramFolder folder(kOldCallbook);
        Form1 form(folder.Path(), server.Url());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        PanelSeen seen;
        DownloadWhileHeld(form, server, [&] { seen = LookAtPanel(form); });
        QVERIFY(seen.visible);
        QCOMPARE(seen.caption, QStringLiteral("Sedang mengunduh database, mohon tunggu.."));
        const TwipsRect lookup = GeometryTwips(form.Controls().Frame1);
        QCOMPARE(seen.panel.left, lookup.left);
        QCOMPARE(seen.panel.width, lookup.width);
        QCOMPARE(seen.panel.top, 2745);
        QCOMPARE(seen.label.left, CentredLeft(seen.panel.width, seen.label.width));
        // Afterwards the panel is hidden where it was, the label says it is done.
        QVERIFY(!form.Controls().Frame3->isVisible());
        QCOMPARE(GeometryTwips(form.Controls().Frame3), seen.panel);
        QCOMPARE(GeometryTwips(form.Controls().Label4).left, seen.label.left);
        QCOMPARE(form.Controls().Label4->text(), QStringLiteral("Selesai"));
    }

    void download_twice_putsPanelAtSamePlace() {
        LocalHttpServer server(200, kNewCallbook);
        const ProgramFolder folder(kOldCallbook);
        Form1 form(folder.Path(), server.Url());
        PanelSeen first;
        PanelSeen second;
        DownloadWhileHeld(form, server, [&] { first = LookAtPanel(form); });
        DownloadWhileHeld(form, server, [&] { second = LookAtPanel(form); });
        QCOMPARE(second.panel, first.panel);
        QCOMPARE(second.label, first.label);
        QCOMPARE(server.Requests(), 2);
    }

    void download_serverError_keepsFileAndSaysSo_data() {
        QTest::addColumn<int>("status");
        QTest::newRow("not found") << 404;
        QTest::newRow("server error") << 500;
    }

    void download_serverError_keepsFileAndSaysSo() {
        QFETCH(int, status);
        LocalHttpServer server(status, kNewCallbook);
        const ProgramFolder folder(kOldCallbook);
        Form1 form(folder.Path(), server.Url());
        QList<PanelSeen> whenBoxShown;
        MessageBoxes::SetObserver([&](const MessageRequest& request) {
            QCOMPARE(request.text,
                     QStringLiteral("Database gagal diunduh. Database lama tetap dipakai."));
            QCOMPARE(request.title, QStringLiteral("Informasi"));
            QCOMPARE(request.icon, QMessageBox::Warning);
            whenBoxShown.append(LookAtPanel(form));
        });
        form.UNDUH_DB();
        MessageBoxes::SetObserver({});
        QCOMPARE(whenBoxShown.size(), 1);
        QVERIFY(!whenBoxShown[0].visible);
        QCOMPARE(whenBoxShown[0].caption, QStringLiteral("Selesai"));
        QCOMPARE(folder.ReadCallbook(), kOldCallbook);
        QCOMPARE(form.Controls().Label5->text(),
                 QStringLiteral("Database versi: 2026-01-01 08:00 WIB"));
        QCOMPARE(QDir(folder.Path()).entryList(QDir::Files), QStringList{"log.txt"});
    }

    void download_refusedConnection_showsFailureThenReadsBannerAgain() {
        ProgramFolder folder(kOldCallbook);
        Form1 form(folder.Path(), RefusingUrl());
        QVERIFY(QFile::remove(folder.CallbookPath()));
        const RecordedBoxes recorded;
        form.UNDUH_DB();
        QCOMPARE(recorded.boxes.size(), 2);
        QCOMPARE(recorded.boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(recorded.boxes[1].text, QStringLiteral("Database tidak ditemukan!"));
        QVERIFY(!QFile::exists(folder.CallbookPath()));
        QVERIFY(form.Controls().Frame3->isHidden());
    }

    void download_whileRunning_secondRequestIsIgnored() {
        LocalHttpServer server(200, kNewCallbook);
        const ProgramFolder folder(kOldCallbook);
        const RecordedBoxes recorded;
        Form1 form(folder.Path(), server.Url());
        bool busy = false;
        DownloadWhileHeld(form, server, [&] {
            busy = form.Updater().IsBusy();
            form.UNDUH_DB();
        });
        QVERIFY(busy);
        QCOMPARE(server.Requests(), 1);
        QVERIFY(recorded.boxes.isEmpty());
        QCOMPARE(folder.ReadCallbook(), QByteArray::fromStdString(kNewCallbook));
    }

    void download_windowClosed_cancelsAndKeepsOldFile() {
        LocalHttpServer server(200, kNewCallbook);
        const ProgramFolder folder(kOldCallbook);
        const RecordedBoxes recorded;
        Form1 form(folder.Path(), server.Url());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        DownloadWhileHeld(form, server, [&] { QVERIFY(form.close()); });
        QVERIFY(!form.isVisible());
        QVERIFY(!form.Updater().IsBusy());
        QCOMPARE(folder.ReadCallbook(), kOldCallbook);
        QVERIFY(recorded.boxes.isEmpty());
        // Nothing after the transfer ran: the panel was left as the transfer found it.
        QCOMPARE(form.Controls().Label4->text(), QString::fromUtf8(kDownloadingCaption));
        QCOMPARE(QDir(folder.Path()).entryList(QDir::Files), QStringList{"log.txt"});
    }

    void menuItem_unduhDatabase_downloads() {
        LocalHttpServer server(200, kNewCallbook);
        const ProgramFolder folder(kOldCallbook);
        Form1 form(folder.Path(), server.Url());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTimer::singleShot(0, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QAction* item = menu->findChild<QAction*>(QStringLiteral("mUnduh"));
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        });
        QTest::mouseClick(form.Controls().Label6, Qt::LeftButton);
        QCOMPARE(server.Requests(), 1);
        QCOMPARE(form.Controls().Label5->text(),
                 QStringLiteral("Database versi: 2027-02-02 09:30 WIB"));
    }
};

QTEST_MAIN(DownloadPanelTest)
#include "download_panel_test.moc"
