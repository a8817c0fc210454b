// "Unduh Database" seen from the window: what the banner, the download panel and the failure
// box show for every kind of answer the chapter's server can give.

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <chrono>

#include "callbook_server.h"
#include "form1.h"
#include "message_box.h"
#include "twips.h"

using namespace std::chrono_literals;
using kalvera::CentredLeft;
using kalvera::DownloadTimeouts;
using kalvera::Form1;
using kalvera::GeometryTwips;
using kalvera::MessageBoxes;
using kalvera::MessageRequest;
using kalvera::TwipsRect;
using kalvera::testing::CallbookServer;
using kalvera::testing::kFreshCallbook;

namespace {

const QByteArray kOldCallbook =
    "versi: 2020-01-01 08:00\r\n"
    "QV27OLD#Lama#Jl. Lama 1#Kab. Lama#0001#2099-12-31#baru\r\n";
const QString kOldBanner = QStringLiteral("Database versi: 2020-01-01 08:00 WIB");

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

    // Runs the download in the shown window while the server holds its answer back, looking at
    // the panel then.
    PanelPlace PanelDuringDownload(Form1& form) {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) {
            return {};
        }
        PanelPlace seen;
        QTimer::singleShot(0, &form, [this, &form, &seen] {
            seen = PanelOf(form);
            server_->OpenGate();
        });
        form.UNDUH_DB();
        return seen;
    }

    std::unique_ptr<CallbookServer> server_;

  private slots:
    void initTestCase() {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        server_ = std::make_unique<CallbookServer>();
    }
    void cleanupTestCase() { server_.reset(); }

    void download_success_replacesFileAndShowsNewVersion() {
        Scene scene;
        Form1& form = scene.Window(Url("/1028/log.txt"));
        QCOMPARE(form.Controls().Label5->text(), kOldBanner);
        form.UNDUH_DB();
        QCOMPARE(scene.CallbookBytes(), QByteArray(kFreshCallbook));
        QCOMPARE(form.Controls().Label5->objectName(), QStringLiteral("Label5"));
        QCOMPARE(form.Controls().Label5->text(),
                 QStringLiteral("Database versi: 2025-06-01 10:00 WIB"));
        QVERIFY(scene.boxes.isEmpty());
        QVERIFY(form.Controls().Frame3->isHidden());
        QCOMPARE(form.Controls().Label4->text(), QStringLiteral("Selesai"));
        QCOMPARE(scene.FolderEntries(), QStringList{"log.txt"});
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
        QCOMPARE(scene.boxes[0].text,
                 QStringLiteral("Database gagal diunduh. Database lama tetap dipakai."));
        QCOMPARE(scene.boxes[0].title, QStringLiteral("Informasi"));
        QCOMPARE(scene.boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(scene.panelShownAtBox, QList<bool>{false});
        QVERIFY(form.Controls().Frame3->isHidden());
        QCOMPARE(form.Controls().Label4->text(), QStringLiteral("Selesai"));
        QCOMPARE(scene.CallbookBytes(), kOldCallbook);
        QCOMPARE(scene.FolderEntries(), QStringList{"log.txt"});
        QCOMPARE(form.Controls().Label5->text(), kOldBanner);
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
        QVERIFY(scene.boxes.isEmpty());
    }
};

QTEST_MAIN(WindowDownloadTest)
#include "window_download_test.moc"
