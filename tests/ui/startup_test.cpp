// The window as start-up leaves it, before and after it is first shown.

#include <QAccessible>
#include <QDate>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

#include "support/failing_input.h"
#include "twips.h"
#include "ui_test_support.h"
#include "window_texts.h"

using namespace kalvera;
using namespace kalvera::testing;

namespace {

const QByteArray kCallbook = "versi: 2026-03-01 10:15\r\n" + Member("QV27ABC", "Budi");

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void startup_leavesBlankBoxesAndLaysOutTheWindow() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(kCallbook));
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        const Form1Controls& c = form.Controls();
        QCOMPARE(DetailTexts(form), QStringList(7, QString()));
        QCOMPARE(StatusColour(form), kWhite);
        QCOMPARE(c.Label7->text(), QString());
        QCOMPARE(form.windowTitle(), QStringLiteral("Callbook KORA Wirasena (Versi Offline 1.0)"));
        QCOMPARE(c.Label5->text(), QStringLiteral("Database versi: 2026-03-01 10:15 WIB"));
        QVERIFY(c.Label3->text().contains(QString::number(QDate::currentDate().year())));
        QVERIFY(recorded.boxes.isEmpty());
        for (const QWidget* box : c.Data1) {
            QVERIFY2(box->property("readOnly").toBool(), qPrintable(box->objectName()));
        }

        // The footer band overhangs both edges of the narrowed window.
        QCOMPARE(form.WidthTwips(), 5480);
        QCOMPARE(form.width(), 357);
        const TwipsRect band = GeometryTwips(c.Shape2);
        QCOMPARE(band.left, -10);
        QCOMPARE(band.width, form.WidthTwips() + 100);
        QVERIFY(c.Shape2->x() < 0 && c.Shape2->geometry().right() >= form.width());
        QVERIFY(c.List1->x() >= form.width());
        // The code of ethics lies where the lookup panel is.
        QCOMPARE(GeometryTwips(c.Frame2).left, GeometryTwips(c.Frame1).left);
        QCOMPARE(GeometryTwips(c.Frame2).top, GeometryTwips(c.Frame1).top);

        QVERIFY(ShowActive(form));
        QCOMPARE(QApplication::focusWidget(), c.txtCari);
        QVERIFY2(
            QRegularExpression(QStringLiteral("^[A-Z]{3}$")).match(c.txtCari->text()).hasMatch(),
            qPrintable(c.txtCari->text()));
        QVERIFY(c.Frame1->isVisible());
        for (const QWidget* hidden : std::initializer_list<const QWidget*>{
                 c.Combo1, c.Command2, c.List1, c.Frame2, c.Frame3}) {
            QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
        }
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        const QPoint screenCentre = form.screen()->availableGeometry().center();
        QVERIFY((form.frameGeometry().center() - screenCentre).manhattanLength() <= 2);
    }

    // What a screen reader announces: the boxes by their captions, the search box by its
    // purpose, the button by its caption.
    void accessibleNames_tellWhatEachBoxHolds() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(kCallbook));
        const Form1 form(folder.Path());
        const Form1Controls& c = form.Controls();
        const QStringList captions{QStringLiteral("Callsign"), QStringLiteral("Nama"),
                                   QStringLiteral("Alamat"),   QStringLiteral("Kab/Kota"),
                                   QStringLiteral("NIA"),      QStringLiteral("Berlaku"),
                                   QStringLiteral("Status")};
        QCOMPARE(static_cast<std::size_t>(captions.size()), c.Data1.size());
        for (std::size_t i = 0; i < c.Data1.size(); ++i) {
            QAccessibleInterface* box = QAccessible::queryAccessibleInterface(c.Data1[i]);
            QVERIFY(box != nullptr);
            QCOMPARE(box->text(QAccessible::Name), captions[static_cast<qsizetype>(i)]);
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(c.txtCari)->text(QAccessible::Name),
                 QStringLiteral("Suffix callsign"));
        QCOMPARE(QAccessible::queryAccessibleInterface(c.Command1)->text(QAccessible::Name),
                 QStringLiteral("Cari"));
    }

    void codeOfEthics_hasTwentyEightLinesInItsPanel() {
        const QString text = CodeOfEthicsText();
        QVERIFY(!text.endsWith(QLatin1Char('\n')));
        QCOMPARE(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 28);
        QCOMPARE(lines[0], QStringLiteral("KODE ETIK KORA (5)"));
        QCOMPARE(lines[16], QString(38, QLatin1Char('+')));
        QCOMPARE(lines[18], QStringLiteral("PANCA BHAKTI KORA (5)"));

        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(kCallbook));
        const Form1 form(folder.Path());
        const QPlainTextEdit* panel = form.Controls().txtEtik;
        QCOMPARE(panel->document()->blockCount(), 28);
        QCOMPARE(panel->toPlainText(), lines.join(QLatin1Char('\n')));
    }

    void startup_missingCallbook_showsExactlyOneBox() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.Made());
        const RecordedBoxes recorded;
        const Form1 form(folder.Path());
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(recorded.boxes[0].text, QStringLiteral("Database tidak ditemukan!"));
        QCOMPARE(recorded.boxes[0].title, QStringLiteral("Informasi"));
        QCOMPARE(recorded.boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(form.Controls().Combo1->count(), 0);
        QCOMPARE(form.Controls().Label5->text(), QStringLiteral("Database versi:"));
    }

    // A log.txt without a single member (zeros left by a power cut, a binary file, a notice)
    // is named at start-up, once; it is not the missing-callbook box, and lookups go on.
    void startup_callbookWithoutMembers_saysItIsDamaged_data() {
        QTest::addColumn<QByteArray>("callbook");
        QTest::newRow("zeros") << QByteArray(1 << 20, '\0');
        static const char kBinary[] =
            "\x7F"
            "ELF\x02\x01\x01\0\0\0#\xFF\xFE#";
        QTest::newRow("binary") << QByteArray(kBinary, sizeof kBinary - 1);
        QTest::newRow("version line only") << QByteArray("versi: 2026-01-01\r\n");
        QTest::newRow("empty") << QByteArray();
    }

    void startup_callbookWithoutMembers_saysItIsDamaged() {
        QFETCH(QByteArray, callbook);
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(callbook));
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(recorded.boxes[0].text,
                 QStringLiteral("Database rusak atau kosong: log.txt tidak berisi data anggota.\n"
                                "Unduh database terbaru lewat Menu \u2192 Unduh Database."));
        QCOMPARE(recorded.boxes[0].title, QStringLiteral("Informasi"));
        QCOMPARE(recorded.boxes[0].icon, QMessageBox::Warning);
        QVERIFY_OK(SearchFor(form, QStringLiteral("ABC")));
        QCOMPARE(form.Controls().Label7->text(), QStringLiteral("QV27ABC tidak ditemukan!"));
        QCOMPARE(recorded.boxes.size(), 1);
    }

    // Members such as QV27É are members: their letters are letters, as the search box's are.
    void startup_callbookWithAMember_saysNothing() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(QByteArray(4096, '\0') + "\r\n" +
                                        Member("QV27\xC3\x89", "Budi") +
                                        Member("QV27\xC3\x84"
                                               "B",
                                               "Ani")));
        const RecordedBoxes recorded;
        const Form1 form(folder.Path());
        QVERIFY(recorded.boxes.isEmpty());
    }

    // The regions and the banner come from one pass: a large callbook is read once at start.
    void startup_readsTheCallbookOnce() {
        const ProgramFolder folder;
        QVERIFY_OK(
            folder.WriteCallbook("versi: 1\r\n" + Member("QV27ABC", "Budi") + "versi: 2\r\n"));
        const CountedOpens opens;
        const Form1 form(folder.Path());
        QCOMPARE(opens.Count(), 1);
        QCOMPARE(form.Controls().Label5->text(), QStringLiteral("Database versi: 2 WIB"));
        QCOMPARE(ComboItems(form), (QStringList{QString(), QStringLiteral("Kab. Contoh")}));
    }

    // A callbook that cannot be read through is reported like a missing one, once.
    void startup_readFailingPartWay_showsExactlyOneBox() {
        QByteArray text = "versi: 1\r\n";
        for (int i = 0; i < 20000; ++i) {
            text += Member("QV27ABC", "Budi");
        }
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(text + "versi: 2\r\n"));
        const ReadFailureAfter failure(static_cast<std::size_t>(text.size() / 2));
        const RecordedBoxes recorded;
        const Form1 form(folder.Path());
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(recorded.boxes[0].text, QStringLiteral("Database tidak ditemukan!"));
        QCOMPARE(form.Controls().Label5->text(), QStringLiteral("Database versi:"));
    }

    // The year is read once, at start-up: the notice keeps it when the program runs past New
    // Year. Two lines: rights and year, then the association and its province.
    void footerNotice_hasTheStartupYearOnTwoLines() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(kCallbook));
        QDateTime now(QDate(2030, 12, 31), QTime(23, 59, 59));
        Form1 form(folder.Path(), QString::fromLatin1(kCallbookSourceUrl), [&now] { return now; });
        const QLabel* notice = form.Controls().Label3;
        const QStringList lines = notice->text().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].contains(QStringLiteral(" 2030 - ")), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains(QStringLiteral(" - ")), qPrintable(lines[1]));
        QVERIFY(notice->height() >= 2 * notice->fontMetrics().lineSpacing());
        now = QDateTime(QDate(2031, 1, 1), QTime(0, 0, 1));
        QVERIFY(ShowActive(form));
        QCOMPARE(notice->text(), lines.join(QStringLiteral("\r\n")));
    }

    // The clock is switched off in this design: nothing starts Timer1, so Label2 keeps its
    // design caption, outside the visible area, whatever the user does.
    void clock_neverStarts() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(kCallbook));
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        const Form1Controls& c = form.Controls();
        QVERIFY(!c.Timer1->isActive());
        QVERIFY(ShowActive(form));
        QVERIFY_OK(SearchFor(form, QStringLiteral("ABC")));
        QVERIFY(ChooseFromMenu(form, "mKode").chosen);
        QVERIFY(ChooseFromMenu(form, "mCallsign").chosen);
        QVERIFY(!c.Timer1->isActive());
        QCOMPARE(c.Timer1->interval(), 500);
        QCOMPARE(c.Label2->text(), QStringLiteral("Label2"));
        QVERIFY(c.Label2->x() >= form.width());
    }

    // A hand over "Menu" and "Cari", which react to a click; no other control shows one.
    void pointer_isAHandOverMenuAndCariOnly() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(kCallbook));
        const Form1 form(folder.Path());
        const Form1Controls& c = form.Controls();
        QCOMPARE(c.Label6->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(c.Command1->cursor().shape(), Qt::PointingHandCursor);
        for (const QWidget* control : form.findChildren<QWidget*>()) {
            if (control != c.Label6 && control != c.Command1) {
                QVERIFY2(control->cursor().shape() != Qt::PointingHandCursor,
                         qPrintable(control->objectName()));
            }
        }
        QVERIFY(form.cursor().shape() != Qt::PointingHandCursor);
    }

    void clockTick_writesIndonesianDateAndTime() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(kCallbook));
        Form1 form(folder.Path());
        form.SetClock([] { return QDateTime(QDate(2025, 2, 1), QTime(9, 5, 3)); });
        form.Timer1_Timer();
        QCOMPARE(form.Controls().Label2->text(),
                 QStringLiteral("Sabtu, 01 Pebruari 2025 - 09:05:03 WIB"));
        form.SetClock([] { return QDateTime(QDate(2024, 11, 24), QTime(23, 59, 59)); });
        form.Timer1_Timer();
        QCOMPARE(form.Controls().Label2->text(),
                 QStringLiteral("Minggu, 24 Nopember 2024 - 23:59:59 WIB"));
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
