// "Unduh Database" seen from the window: what the banner, the download panel and the failure
// box show for every kind of answer the chapter's server can give, how the menu starts it, and
// what a second request or closing the window does while it runs.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <functional>

#include "callbook_server.h"
#include "controls.h"
#include "form1.h"
#include "message_box.h"
#include "twips.h"
#include "ui_test_support.h"

using namespace std::chrono_literals;
using kalvera::BoxText;
using kalvera::CentredLeft;
using kalvera::DownloadTimeouts;
using kalvera::Form1;
using kalvera::GeometryTwips;
using kalvera::MessageBoxes;
using kalvera::MessageRequest;
using kalvera::TwipsRect;
using kalvera::testing::CallbookServer;
using kalvera::testing::kFreshCallbook;
using kalvera::testing::SearchFor;

namespace {

const QByteArray kOldCallbook =
    "versi: 2020-01-01 08:00\r\n"
    "QV27OLD#Lama#Jl. Lama 1#Kab. Lama#0001#2099-12-31#baru\r\n";
const QString kOldBanner = QStringLiteral("Database versi: 2020-01-01 08:00 WIB");
const QString kFailedMessage =
    QStringLiteral("Database gagal diunduh. Database lama tetap dipakai.");

// A program folder holding the old callbook, and every message box the window shows.
class Scene {
  public:
    Scene() {
        QFile file(CallbookPath());
        if (file.open(QIODevice::WriteOnly)) {
            file.write(kOldCallbook);
        }
        MessageBoxes::SetObserver([this](const MessageRequest& box) {
            boxes.append(box);
            panelShownAtBox.append(form_ != nullptr && !form_->Controls().Frame3->isHidden());
        });
    }
    ~Scene() { MessageBoxes::SetObserver({}); }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    Form1& Window(const QString& sourceUrl) {
        form_ = std::make_unique<Form1>(folder_.path(), sourceUrl);
        return *form_;
    }

    QString CallbookPath() const { return folder_.filePath(QStringLiteral("log.txt")); }
    QByteArray CallbookBytes() const {
        QFile file(CallbookPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList FolderEntries() const {
        return QDir(folder_.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QList<MessageRequest> boxes;
    QList<bool> panelShownAtBox;

  private:
    QTemporaryDir folder_;
    std::unique_ptr<Form1> form_;
};

struct PanelPlace {
    TwipsRect panel;
    TwipsRect label;
    QString caption;
    bool visible = false;
};

PanelPlace PanelOf(const Form1& form) {
    return {GeometryTwips(form.Controls().Frame3), GeometryTwips(form.Controls().Label4),
            form.Controls().Label4->text(), form.Controls().Frame3->isVisible()};
}

QStringList RegionItems(const Form1& form) {
    QStringList items;
    const QComboBox* combo = form.Controls().Combo1;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

QString UnusedPortUrl() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1/1028/log.txt").arg(port);
}

}  // namespace

class WindowDownloadTest : public QObject {
    Q_OBJECT

  private:
    QString Url(const char* path) const { return QString::fromStdString(server_->Url(path)); }

    // Runs the download of /gated: `whileHeld` sees the window while the server holds its
    // answer back, then the answer is let through.
    void DownloadWhileGated(Form1& form, const std::function<void()>& whileHeld) {
        QTimer::singleShot(0, &form, [this, whileHeld] {
            whileHeld();
            server_->OpenGate();
        });
        form.UNDUH_DB();
    }

    // Runs the download in the shown window, looking at the panel while it runs.
    PanelPlace PanelDuringDownload(Form1& form) {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) {
            return {};
        }
        PanelPlace seen;
        DownloadWhileGated(form, [&form, &seen] { seen = PanelOf(form); });
        return seen;
    }

    std::unique_ptr<CallbookServer> server_;

  private slots:
    void initTestCase() {
        // Closing a window must not end the application under the remaining tests.
        QApplication::setQuitOnLastWindowClosed(false);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        server_ = std::make_unique<CallbookServer>();
    }
    void cleanupTestCase() { server_.reset(); }

    void download_success_replacesFileAndShowsNewVersion() {
        Scene scene;
        Form1& form = scene.Window(Url("/1028/log.txt"));
        QCOMPARE(form.Controls().Label5->text(), kOldBanner);
        const QStringList regions = RegionItems(form);
        QVERIFY(regions.contains(QStringLiteral("Kab. Lama")));
        form.UNDUH_DB();
        QCOMPARE(scene.CallbookBytes(), QByteArray(kFreshCallbook));
        QCOMPARE(form.Controls().Label5->objectName(), QStringLiteral("Label5"));
        QCOMPARE(form.Controls().Label5->text(),
                 QStringLiteral("Database versi: 2025-06-01 10:00 WIB"));
        QVERIFY(scene.boxes.isEmpty());
        QVERIFY(form.Controls().Frame3->isHidden());
        QCOMPARE(form.Controls().Label4->text(), QStringLiteral("Selesai"));
        QCOMPARE(scene.FolderEntries(), QStringList{"log.txt"});
        // The region list stays as start-up made it; a lookup reads the new file.
        QCOMPARE(RegionItems(form), regions);
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Budi"));
    }

    void download_throughRedirect_replacesFile() {
        Scene scene;
        Form1& form = scene.Window(Url("/moved"));
        form.UNDUH_DB();
        QCOMPARE(scene.CallbookBytes(), QByteArray(kFreshCallbook));
        QVERIFY(scene.boxes.isEmpty());
    }

    void download_ofFileWithoutVersionLine_installsItAndKeepsBanner() {
        Scene scene;
        Form1& form = scene.Window(Url("/members-only"));
        form.UNDUH_DB();
        QVERIFY(scene.CallbookBytes().startsWith("QV27DEF#Dewi#"));
        QCOMPARE(form.Controls().Label5->text(), kOldBanner);
        QVERIFY(scene.boxes.isEmpty());
    }

    void download_failing_keepsOldFileAndSaysSoOnce_data() {
        QTest::addColumn<QString>("source");
        QTest::newRow("not found") << Url("/1028/tidak-ada.txt");
        QTest::newRow("server error") << Url("/server-error");
        QTest::newRow("html page with 200") << Url("/html");
        QTest::newRow("html sent as text") << Url("/html-as-text");
        QTest::newRow("body cut short") << Url("/cut-short");
        QTest::newRow("empty body") << Url("/empty");
        QTest::newRow("oversized, declared") << Url("/oversized-declared");
        QTest::newRow("oversized, streamed") << Url("/oversized-streamed");
        QTest::newRow("nul byte") << Url("/with-nul");
        QTest::newRow("no callbook line") << Url("/no-callbook-line");
        QTest::newRow("redirect loop") << Url("/loop");
        QTest::newRow("stalled server") << Url("/stall-mid-body");
        QTest::newRow("connection refused") << UnusedPortUrl();
    }

    void download_failing_keepsOldFileAndSaysSoOnce() {
        QFETCH(QString, source);
        Scene scene;
        Form1& form = scene.Window(source);
        form.Updater().SetTimeouts(DownloadTimeouts{2s, 300ms});
        form.UNDUH_DB();
        QCOMPARE(scene.boxes.size(), 1);
        QCOMPARE(scene.boxes[0].text, kFailedMessage);
        QCOMPARE(scene.boxes[0].title, QStringLiteral("Informasi"));
        QCOMPARE(scene.boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(scene.panelShownAtBox, QList<bool>{false});
        QVERIFY(form.Controls().Frame3->isHidden());
        QCOMPARE(form.Controls().Label4->text(), QStringLiteral("Selesai"));
        QCOMPARE(scene.CallbookBytes(), kOldCallbook);
        QCOMPARE(scene.FolderEntries(), QStringList{"log.txt"});
        QCOMPARE(form.Controls().Label5->text(), kOldBanner);
    }

    // The banner is read again after a failure as after a success, from whatever is on disk.
    void download_refusedWithCallbookGone_saysFailedThenMissing() {
        Scene scene;
        Form1& form = scene.Window(UnusedPortUrl());
        QVERIFY(scene.boxes.isEmpty());
        QVERIFY(QFile::remove(scene.CallbookPath()));
        form.UNDUH_DB();
        QCOMPARE(scene.boxes.size(), 2);
        QCOMPARE(scene.boxes[0].text, kFailedMessage);
        QCOMPARE(scene.boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(scene.boxes[1].text, QStringLiteral("Database tidak ditemukan!"));
        QCOMPARE(scene.boxes[1].title, QStringLiteral("Informasi"));
        QCOMPARE(scene.boxes[1].icon, QMessageBox::Critical);
        QCOMPARE(scene.panelShownAtBox, (QList<bool>{false, false}));
        QVERIFY(scene.FolderEntries().isEmpty());
    }

    void download_requestedAgainWhileRunning_isIgnored() {
        Scene scene;
        Form1& form = scene.Window(Url("/gated"));
        const int before = server_->Requests("/gated");
        bool busy = false;
        DownloadWhileGated(form, [&form, &busy] {
            busy = form.Updater().IsBusy();
            form.UNDUH_DB();
        });
        QVERIFY(busy);
        QCOMPARE(server_->Requests("/gated") - before, 1);
        QVERIFY(scene.boxes.isEmpty());
        QCOMPARE(scene.CallbookBytes(), QByteArray(kFreshCallbook));
        QVERIFY(form.Controls().Frame3->isHidden());
        QCOMPARE(form.Controls().Label4->text(), QStringLiteral("Selesai"));
    }

    void download_windowClosedMeanwhile_isCancelledAndOldFileKept() {
        Scene scene;
        const std::string path = "/stall-before-headers";
        Form1& form = scene.Window(Url(path.c_str()));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const int before = server_->Requests(path);
        bool arrived = false;
        bool closed = false;
        // The server never answers: only the cancel can end the download.
        QTimer::singleShot(0, &form, [&] {
            arrived = QTest::qWaitFor([&] { return server_->Requests(path) > before; }, 5000);
            closed = form.close();
        });
        form.UNDUH_DB();
        QVERIFY(arrived);
        QVERIFY(closed);
        QVERIFY(!form.isVisible());
        QVERIFY(!form.Updater().IsBusy());
        QCOMPARE(scene.CallbookBytes(), kOldCallbook);
        QCOMPARE(scene.FolderEntries(), QStringList{"log.txt"});
        QVERIFY(scene.boxes.isEmpty());
        // Nothing after the transfer ran: the panel is left as the transfer found it.
        QCOMPARE(form.Controls().Label4->text(),
                 QStringLiteral("Sedang mengunduh database, mohon tunggu.."));
    }

    void menuItem_unduhDatabase_downloads() {
        Scene scene;
        Form1& form = scene.Window(Url("/1028/log.txt"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const int before = server_->Requests("/1028/log.txt");
        bool chosen = false;
        QTimer::singleShot(0, [&chosen] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QAction* item = menu ? menu->findChild<QAction*>(QStringLiteral("mUnduh")) : nullptr;
            if (item == nullptr) {
                if (menu != nullptr) {
                    menu->close();
                }
                return;
            }
            chosen = true;
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        });
        QTest::mouseClick(form.Controls().Label6, Qt::LeftButton);
        QVERIFY(chosen);
        QCOMPARE(server_->Requests("/1028/log.txt") - before, 1);
        QCOMPARE(scene.CallbookBytes(), QByteArray(kFreshCallbook));
        QCOMPARE(form.Controls().Label5->text(),
                 QStringLiteral("Database versi: 2025-06-01 10:00 WIB"));
        QVERIFY(scene.boxes.isEmpty());
    }

    void download_panel_spansLookupBandWithCentredMessage() {
        Scene scene;
        Form1& form = scene.Window(Url("/gated"));
        const PanelPlace seen = PanelDuringDownload(form);
        QVERIFY(seen.visible);
        QCOMPARE(seen.caption, QStringLiteral("Sedang mengunduh database, mohon tunggu.."));
        QCOMPARE(seen.panel.left, 90);
        QCOMPARE(seen.panel.top, 2745);
        QCOMPARE(seen.panel.width, 5220);
        // Half of 5220, less half of the label's width truncated toward zero.
        QVERIFY(seen.label.width > 0);
        QCOMPARE(seen.label.left, 2610 - seen.label.width / 2);
        QCOMPARE(scene.CallbookBytes(), QByteArray(kFreshCallbook));
    }

    void centring_ofDesignExample_givesLeftEdge1160() { QCOMPARE(CentredLeft(5220, 2901), 1160); }

    void download_twice_putsPanelAndLabelAtSamePlace() {
        Scene scene;
        Form1& form = scene.Window(Url("/gated"));
        const int before = server_->Requests("/gated");
        const PanelPlace first = PanelDuringDownload(form);
        const PanelPlace afterFirst = PanelOf(form);
        const PanelPlace second = PanelDuringDownload(form);
        const PanelPlace afterSecond = PanelOf(form);
        QVERIFY(first.visible);
        QVERIFY(second.visible);
        QCOMPARE(second.panel, first.panel);
        QCOMPARE(second.label, first.label);
        QCOMPARE(afterFirst.panel, first.panel);
        QCOMPARE(afterSecond.panel, first.panel);
        QCOMPARE(afterSecond.label.left, first.label.left);
        QCOMPARE(server_->Requests("/gated") - before, 2);
        QVERIFY(scene.boxes.isEmpty());
    }
};

QTEST_MAIN(WindowDownloadTest)
#include "window_download_test.moc"
