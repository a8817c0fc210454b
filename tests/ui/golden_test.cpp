// Golden images of the main window: Form1 rendered offscreen with the bundled Tahoma in each
// state a member meets, compared pixel by pixel with the PNGs in tests/ui/golden/.
//
// After a deliberate change to the window's look, regenerate them with
//     KALVERA_UPDATE_GOLDENS=1 ctest --test-dir build -R ui_golden
// then look at every PNG that changed (git status tests/ui/golden) before committing it.
//
// On a mismatch the window as rendered and a difference image (differing pixels in red over
// a faded copy of the rendering) are written to build/tests/ui/golden-out/, and the failure
// names both files.

#include <QDir>
#include <QFontInfo>
#include <QFrame>
#include <QImage>
#include <QNetworkProxy>
#include <QStyleFactory>

#include "scripted_http_server.h"
#include "ui_test_support.h"

using namespace kalvera;
using namespace kalvera::testing;

namespace {

// A pixel differs when one of its channels is off by more than this; it absorbs the rounding
// of the painter's CPU-specific blending, nothing a person could see.
constexpr int kChannelTolerance = 8;

// Start-up reads the year of the footer notice from this clock, so the images do not change at
// New Year. The statuses do not depend on the day: the dates below are far from any test run.
const QDateTime kStartupTime(QDate(2025, 6, 1), QTime(10, 0));

const QByteArray kLongName =
    "Raden Mas Soeryo Koesoemo Hadiningrat-Sch\xC3\xB6nberg-Wirjosoemarto bin Haji Abdurrahman";
const QByteArray kLongRegion = "Kabupaten Kepulauan Seribu Utara dan Selatan Daerah Khusus Ibukota";
const QByteArray kLongAddress =
    "Perumahan Griya Permata Hijau Blok C-17 Nomor 4, Jalan Raya Cibubur Kelurahan Harjamukti, "
    "RT 005 RW 011, Kecamatan Cimanggis, dekat Masjid Al-Ikhlas dan Pasar Pagi";

QByteArray Line(const char* callsign, const QByteArray& name, const QByteArray& address,
                const QByteArray& region, const char* number, const char* validUntil,
                const char* status) {
    return QByteArray(callsign) + '#' + name + '#' + address + '#' + region + '#' + number + '#' +
           validUntil + '#' + status + "\r\n";
}

// One member per status colour, and one whose values are longer than their boxes.
const QByteArray kCallbook =
    "versi: 2025-05-20 08:00\r\n" +
    Line("QV27SHU", "Soekarno Hadi", "Jl. Melati 7", "Kab. Bandung", "0101", "0000-00-00",
         "seumur hidup") +
    Line("QV27VAL", "Budi Santoso", "Jl. Kenanga 21", "Kota Bandung", "0412", "2099-12-31", "") +
    Line("QV27BAR", "Siti Rahmawati", "Jl. Dahlia 3", "Kab. Garut", "0577", "2001-01-31", "baru") +
    Line("QV27PPJ", "Agus Wibowo", "Jl. Mawar 12", "Kota Cimahi", "0233", "2099-12-31",
         "perpanjangan") +
    Line("QV27INV", "Rina Marlina", "Jl. Anggrek 9", "Kab. Sumedang", "0318", "2001-01-31", "") +
    Line("QV27NUL", "Dedi Kurnia", "Jl. Cempaka 5", "Kab. Subang", "0640", "null", "") +
    Line("QV27PJG", kLongName, kLongAddress, kLongRegion, "0999", "2099-12-31", "valid");

// What a member does before the window is looked at.
struct State {
    const char* name;  // also the golden file's base name
    std::function<void(Form1&)> reach;
};

void Search(Form1& form, const char* suffix) {
    QVERIFY_OK(SearchFor(form, QString::fromLatin1(suffix)));
}

const std::vector<State>& States() {
    static const std::vector<State> states = {
        {"start", [](Form1&) {}},
        {"found_lifetime_yellow", [](Form1& form) { Search(form, "shu"); }},
        {"found_valid_green", [](Form1& form) { Search(form, "VAL"); }},
        {"found_new_green", [](Form1& form) { Search(form, "BAR"); }},
        {"found_renewed_green", [](Form1& form) { Search(form, "PPJ"); }},
        {"found_invalid_red", [](Form1& form) { Search(form, "INV"); }},
        {"found_no_status_white", [](Form1& form) { Search(form, "NUL"); }},
        {"not_found", [](Form1& form) { Search(form, "XYZ"); }},
        // A number empties the boxes but keeps the status colour of the member shown before.
        {"numeric_after_red",
         [](Form1& form) {
             Search(form, "INV");
             Search(form, "12");
         }},
        {"code_of_ethics", [](Form1& form) { QVERIFY(ChooseFromMenu(form, "mKode").chosen); }},
        {"long_values", [](Form1& form) { Search(form, "PJG"); }},
    };
    return states;
}

// The window as the next repaint shows it: the layouts that the last changes asked for (a
// scroll bar coming or going, for one) are done first.
QImage Render(Form1& form) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    return form.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool UpdatingGoldens() {
    const QByteArray update = qgetenv("KALVERA_UPDATE_GOLDENS");
    return !update.isEmpty() && update != "0";
}

int ChannelDelta(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// Differing pixels in red over a faded copy of `actual`.
QImage Difference(const QImage& expected, const QImage& actual, int* differing) {
    QImage diff(actual.size(), QImage::Format_RGB32);
    *differing = 0;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb seen = actual.pixel(x, y);
            if (ChannelDelta(expected.pixel(x, y), seen) > kChannelTolerance) {
                ++*differing;
                diff.setPixel(x, y, qRgb(255, 0, 0));
            } else {
                const int grey = 192 + qGray(seen) / 4;
                diff.setPixel(x, y, qRgb(grey, grey, grey));
            }
        }
    }
    return diff;
}

// Empty when `actual` matches the golden image `name`; otherwise why not, naming the files
// written for a look. In update mode a missing or differing golden image is rewritten.
QString CompareWithGolden(const QString& name, const QImage& actual) {
    const QString golden = QStringLiteral(KALVERA_GOLDEN_DIR "/%1.png").arg(name);
    const QImage expected(golden);
    int differing = 0;
    QImage diff;
    if (!expected.isNull() && expected.size() == actual.size()) {
        diff = Difference(expected.convertToFormat(QImage::Format_RGB32), actual, &differing);
        if (differing == 0) {
            return {};
        }
    }
    if (UpdatingGoldens()) {
        if (!actual.save(golden, "PNG", 0)) {
            return QStringLiteral("cannot write %1").arg(golden);
        }
        qInfo("updated %s", qPrintable(golden));
        return {};
    }

    const QDir out(QStringLiteral(KALVERA_GOLDEN_OUT_DIR));
    QDir().mkpath(out.path());
    const QString actualPath = out.filePath(name + QStringLiteral(".png"));
    actual.save(actualPath, "PNG");
    QString why;
    if (expected.isNull()) {
        why = QStringLiteral("no golden image %1").arg(golden);
    } else if (expected.size() != actual.size()) {
        why = QStringLiteral("size %1x%2, golden %3x%4")
                  .arg(actual.width())
                  .arg(actual.height())
                  .arg(expected.width())
                  .arg(expected.height());
    } else {
        const QString diffPath = out.filePath(name + QStringLiteral(".diff.png"));
        diff.save(diffPath, "PNG");
        why = QStringLiteral("%1 pixels differ from %2; difference: %3")
                  .arg(differing)
                  .arg(golden, diffPath);
    }
    return why + QStringLiteral("; rendered: ") + actualPath;
}

// Runs `then` at the event loop's first turn after `widget` has been shown.
class AfterShown : public QObject {
  public:
    AfterShown(QWidget* widget, std::function<void()> then) : then_(std::move(then)) {
        widget->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, then_);
        }
        return false;
    }

  private:
    std::function<void()> then_;
};

}  // namespace

class GoldenTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder_;

    std::unique_ptr<Form1> ShownForm(
        const QString& source = QString::fromLatin1(kCallbookSourceUrl)) {
        auto form = std::make_unique<Form1>(folder_->Path(), source, [] { return kStartupTime; });
        if (!ShowActive(*form)) {
            return nullptr;
        }
        return form;
    }

  private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        // Whatever the machine's settings say: the style the program has on this platform, and
        // a caret that does not blink, so it is either always drawn or never.
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setCursorFlashTime(0);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        folder_ = std::make_unique<ProgramFolder>();
        QVERIFY_OK(folder_->WriteCallbook(kCallbook));

        const Form1 probe(folder_->Path());
        const QFontInfo used(probe.Controls().Data1[kName]->font());
        QVERIFY2(used.family() == QLatin1String("Tahoma"),
                 qPrintable(QStringLiteral("the boxes are drawn in %1, not Tahoma: is the "
                                           "fonts-wine package installed?")
                                .arg(used.family())));
    }

    void cleanupTestCase() { folder_.reset(); }

    void window_inEachState_matchesItsGoldenImage_data() {
        QTest::addColumn<int>("state");
        for (std::size_t i = 0; i < States().size(); ++i) {
            QTest::newRow(States()[i].name) << static_cast<int>(i);
        }
    }

    void window_inEachState_matchesItsGoldenImage() {
        QFETCH(int, state);
        const State& reached = States()[static_cast<std::size_t>(state)];
        const RecordedBoxes recorded;
        const std::unique_ptr<Form1> form = ShownForm();
        QVERIFY(form);
        reached.reach(*form);
        QVERIFY(recorded.boxes.isEmpty());
        const QString mismatch =
            CompareWithGolden(QString::fromLatin1(reached.name), Render(*form));
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    // The download panel as "Unduh Database" shows it, looked at while the transfer waits for
    // a server that has not answered yet.
    void downloadPanel_whileTransferWaits_matchesItsGoldenImage() {
        // Held until the window has been looked at, then a 503: a failure box.
        ScriptedHttpServer server;
        QVERIFY(server.Listening());
        server.Answer("/1028/log.txt", {LengthAnswer(503, {}), ScriptedAnswer::Then::Close, true});
        const RecordedBoxes recorded;
        const std::unique_ptr<Form1> form = ShownForm(server.Url(QStringLiteral("/1028/log.txt")));
        QVERIFY(form);
        bool seen = false;
        bool panelUp = false;
        QImage rendered;
        const AfterShown whileWaiting(form->Controls().Frame3, [&] {
            seen = true;
            panelUp = form->Controls().Frame3->isVisible();
            rendered = Render(*form);
            server.OpenGate();
        });
        // Called as "Unduh Database" calls it, but not through the pop-up menu (the download
        // tests go that way): the picture must not depend on where the offscreen platform
        // leaves the focus after a pop-up has closed.
        form->UNDUH_DB();
        QTRY_VERIFY(seen);
        QVERIFY(panelUp);
        const QString mismatch = CompareWithGolden(QStringLiteral("download_panel"), rendered);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }
};

QTEST_MAIN(GoldenTest)
#include "golden_test.moc"
