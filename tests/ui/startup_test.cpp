// The window as start-up leaves it, before and after it is first shown.

#include <QComboBox>
#include <QDate>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "twips.h"
#include "ui_test_support.h"
#include "window_texts.h"

using namespace kalvera;
using namespace kalvera::testing;

namespace {

const QByteArray kCallbook =
    "versi: 2026-03-01 10:15\r\n"
    "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2099-12-31#perpanjangan\r\n"
    "QV27ABD#Siti#Jl. Kenanga 21#Kota Dua#0413#2001-01-31#\r\n"
    "QV27ABE#Agus#Jl. Dahlia 3#Kab. Contoh#0414#null#\r\n";

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void startup_leavesEmptyBoxesWhiteStatusAndCaption() {
        const ProgramFolder folder(kCallbook);
        const RecordedBoxes recorded;
        const Form1 form(folder.Path());
        QCOMPARE(DetailTexts(form), QStringList(7, QString()));
        QCOMPARE(StatusColour(form), QColor(Qt::white));
        QCOMPARE(form.Controls().Label7->text(), QString());
        QCOMPARE(form.windowTitle(), QStringLiteral("Callbook KORA Wirasena (Versi Offline 1.0)"));
        QCOMPARE(form.Controls().txtCari->text().size(), 3);
        QCOMPARE(form.Controls().txtCari->text(), form.Controls().txtCari->text().toUpper());
        QVERIFY(recorded.boxes.isEmpty());
    }

    void startup_footerBandOverhangsBothEdges() {
        const ProgramFolder folder(kCallbook);
        const Form1 form(folder.Path());
        const TwipsRect band = GeometryTwips(form.Controls().Shape2);
        QCOMPARE(form.WidthTwips(), 5480);
        QCOMPARE(band.left, -10);
        QCOMPARE(band.width, form.WidthTwips() + 100);
        QCOMPARE(band.top, 5670);
        QCOMPARE(band.height, 735);
        QVERIFY(form.Controls().Shape2->x() < 0);
        QVERIFY(form.Controls().Shape2->geometry().right() >= form.width());
    }

    void startup_windowIsNarrowedToTheLookupPanel() {
        const ProgramFolder folder(kCallbook);
        const Form1 form(folder.Path());
        QCOMPARE(form.width(), 357);
        QCOMPARE(form.height(), 6315 / kTwipsPerPixel);
        QCOMPARE(form.minimumSize(), form.maximumSize());
        const QRect lookup = form.Controls().Frame1->geometry();
        QVERIFY(lookup.right() < form.width());
        // Designed further right, these stay out of sight.
        QVERIFY(form.Controls().Label2->x() >= form.width());
        QVERIFY(form.Controls().List1->x() >= form.width());
        // The banner moves up and left by 5 twips; pictures keep their own size.
        QCOMPARE(GeometryTwips(form.Controls().Image2).left, -5);
        QCOMPARE(GeometryTwips(form.Controls().Image2).top, -5);
        QCOMPARE(form.Controls().Image2->size(), QSize(364, 62));
        QCOMPARE(form.Controls().Image1->size(), QSize(32, 32));
    }

    void startup_codeOfEthicsPanelTakesTheLookupPanelsPlace() {
        const ProgramFolder folder(kCallbook);
        const Form1 form(folder.Path());
        const TwipsRect lookup = GeometryTwips(form.Controls().Frame1);
        const TwipsRect ethics = GeometryTwips(form.Controls().Frame2);
        QCOMPARE(ethics.left, lookup.left);
        QCOMPARE(ethics.top, lookup.top);
        QCOMPARE(form.Controls().Frame2->geometry(), form.Controls().Frame1->geometry());
        QVERIFY(form.Controls().Frame2->isHidden());
        QVERIFY(!form.Controls().Frame1->isHidden());
    }

    void startup_showsLastVersionLineOfTheCallbook() {
        const ProgramFolder folder(kCallbook + "Data anggota versi: 12\r\n");
        const Form1 form(folder.Path());
        QCOMPARE(form.Controls().Label5->text(),
                 QStringLiteral("Database Data anggota versi: 12 WIB"));
    }

    void startup_withoutVersionLine_keepsDesignCaption() {
        const ProgramFolder folder(
            "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#null#\r\n"
            "Versi: 3\r\nversi:4\r\n");
        const Form1 form(folder.Path());
        QCOMPARE(form.Controls().Label5->text(), QStringLiteral("Database versi:"));
    }

    void startup_missingCallbook_showsExactlyOneBox() {
        const ProgramFolder folder;
        const RecordedBoxes recorded;
        const Form1 form(folder.Path());
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(recorded.boxes[0].text, QStringLiteral("Database tidak ditemukan!"));
        QCOMPARE(recorded.boxes[0].title, QStringLiteral("Informasi"));
        QCOMPARE(recorded.boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(form.Controls().Combo1->count(), 0);
        QVERIFY(form.Regions().empty());
        QCOMPARE(form.Controls().Label5->text(), QStringLiteral("Database versi:"));
    }

    void startup_fillsRegionListInOrderOfFirstAppearance() {
        const ProgramFolder folder(kCallbook);
        const Form1 form(folder.Path());
        // The version line before any member carries the empty region.
        const QStringList expected = {QString(), QStringLiteral("Kab. Contoh"),
                                      QStringLiteral("Kota Dua")};
        QStringList items;
        for (int i = 0; i < form.Controls().Combo1->count(); ++i) {
            items << form.Controls().Combo1->itemText(i);
        }
        QCOMPARE(items, expected);
        QCOMPARE(form.Regions().size(), std::size_t{3});
    }

    void startup_regionItemsKeepTheBytesAsStored() {
        // "Kota Ñusa" in Windows-1252, as an ANSI callbook holds it.
        const ProgramFolder folder("QV27ABC#Budi#Jl. 7#Kota \xD1usa#0412#null#\r\n");
        const Form1 form(folder.Path());
        QCOMPARE(form.Controls().Combo1->count(), 1);
        QCOMPARE(form.Controls().Combo1->itemText(0), QStringLiteral("Kota \u00D1usa"));
        QCOMPARE(form.Controls().Combo1->itemData(0).toByteArray(), QByteArray("Kota \xD1usa"));
    }

    void startup_hidesTheUnusedControls() {
        const ProgramFolder folder(kCallbook);
        Form1 form(folder.Path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const Form1Controls& c = form.Controls();
        for (const QWidget* hidden :
             {static_cast<QWidget*>(c.Combo1), static_cast<QWidget*>(c.Command2),
              static_cast<QWidget*>(c.List1), static_cast<QWidget*>(c.Frame2),
              static_cast<QWidget*>(c.Frame3)}) {
            QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
        }
        QVERIFY(c.Frame1->isVisible());
        QCOMPARE(c.Label2->text(), QStringLiteral("Label2"));
        QCOMPARE(c.Label3->text(), FooterNotice(QDate::currentDate().year()));
    }

    void startup_focusStartsInSearchBox() {
        const ProgramFolder folder(kCallbook);
        Form1 form(folder.Path());
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(QApplication::focusWidget(), form.Controls().txtCari);
    }

    void startup_windowIsCentredOnItsScreen() {
        const ProgramFolder folder(kCallbook);
        Form1 form(folder.Path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint screenCentre = form.screen()->availableGeometry().center();
        QVERIFY(qAbs(form.frameGeometry().center().x() - screenCentre.x()) <= 1);
        QVERIFY(qAbs(form.frameGeometry().center().y() - screenCentre.y()) <= 1);
    }

    void startup_windowHasCloseButtonOnly() {
        const ProgramFolder folder(kCallbook);
        const Form1 form(folder.Path());
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!form.windowIcon().isNull());
        QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
    }

    void footerNotice_isTwoLinesWithTheYear() {
        const QString notice = FooterNotice(2031);
        const QStringList lines = notice.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].contains(QStringLiteral(" 2031 - ")));
        QVERIFY(lines[1].contains(QStringLiteral(" - ")));
        QCOMPARE(notice.count(QLatin1Char('\n')), 1);
    }

    void codeOfEthics_hasTwentyEightLinesInItsShape() {
        const QString text = CodeOfEthicsText();
        QVERIFY(!text.endsWith(QLatin1Char('\n')));
        QCOMPARE(text.count(QStringLiteral("\r\n")), 27);
        QCOMPARE(text.count(QLatin1Char('\n')), 27);
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 28);
        QCOMPARE(lines[0], QStringLiteral("KODE ETIK KORA (5)"));
        for (int principle = 0; principle < 5; ++principle) {
            const int first = 1 + principle * 3;
            QVERIFY(lines[first].startsWith(QStringLiteral("%1. ").arg(principle + 1)));
            QVERIFY(!lines[first + 1].isEmpty());
            QVERIFY(lines[first + 2].isEmpty());
        }
        QCOMPARE(lines[16], QString(38, QLatin1Char('+')));
        QVERIFY(lines[17].isEmpty());
        QCOMPARE(lines[18], QStringLiteral("PANCA BHAKTI KORA (5)"));
        for (int pledge = 0; pledge < 5; ++pledge) {
            QVERIFY(lines[19 + pledge * 2].startsWith(QStringLiteral("%1. ").arg(pledge + 1)));
            if (pledge < 4) {
                QVERIFY(lines[20 + pledge * 2].isEmpty());
            }
        }
    }

    void startup_putsCodeOfEthicsIntoItsPanel() {
        const ProgramFolder folder(kCallbook);
        const Form1 form(folder.Path());
        const QPlainTextEdit* ethics = form.Controls().txtEtik;
        QCOMPARE(ethics->document()->blockCount(), 28);
        QCOMPARE(ethics->toPlainText(),
                 CodeOfEthicsText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QVERIFY(ethics->isReadOnly());
        QCOMPARE(ethics->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(ethics->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }

    void timer_existsDisabledWithHalfSecondPeriod() {
        const ProgramFolder folder(kCallbook);
        const Form1 form(folder.Path());
        const QTimer* timer = form.findChild<QTimer*>(QStringLiteral("Timer1"));
        QVERIFY(timer);
        QCOMPARE(timer->interval(), 500);
        QVERIFY(!timer->isActive());
    }

    void clockTick_writesIndonesianDateAndTime() {
        const ProgramFolder folder(kCallbook);
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

    void controls_carryTheirDesignNames() {
        const ProgramFolder folder(kCallbook);
        const Form1 form(folder.Path());
        for (const char* name :
             {"Combo1",   "Command2", "List1",    "Frame3",   "Frame2",   "Frame1",   "Line1",
              "Label6",   "Image1",   "Label3",   "Shape2",   "Label2",   "Image2",   "Command1",
              "Data1_0",  "Data1_1",  "Data1_2",  "Data1_3",  "Data1_4",  "Data1_5",  "Data1_6",
              "txtCari",  "Label1_0", "Label1_1", "Label1_2", "Label1_3", "Label1_4", "Label1_5",
              "Label1_6", "Label1_7", "Label7",   "Label5",   "txtEtik",  "Label4"}) {
            QVERIFY2(form.findChild<QWidget*>(QString::fromLatin1(name)), name);
        }
    }

    void stacking_windowsLieAboveSurfaceControls() {
        const ProgramFolder folder(kCallbook);
        const Form1 form(folder.Path());
        // children() runs back to front.
        QStringList order;
        for (const QObject* child : form.children()) {
            if (child->isWidgetType() && !child->objectName().isEmpty() &&
                !qobject_cast<const QWidget*>(child)->isWindow()) {
                order.prepend(child->objectName());
            }
        }
        QCOMPARE(order,
                 QStringList({"Combo1", "Command2", "List1", "Frame3", "Frame2", "Frame1", "Line1",
                              "Label6", "Image1", "Label3", "Shape2", "Label2", "Image2"}));
    }

    void detailBoxes_areReadOnlyButFocusable() {
        const ProgramFolder folder(kCallbook);
        const Form1 form(folder.Path());
        const QStringList names = {"Callsign", "Nama",    "Alamat", "Kab/Kota",
                                   "NIA",      "Berlaku", "Status"};
        for (int i = 0; i < 7; ++i) {
            const QWidget* box = form.Controls().Data1[static_cast<std::size_t>(i)];
            QCOMPARE(box->accessibleName(), names[i]);
            QVERIFY(box->focusPolicy() & Qt::TabFocus);
            if (const auto* line = qobject_cast<const QLineEdit*>(box)) {
                QVERIFY(line->isReadOnly());
            } else {
                const auto* memo = qobject_cast<const QPlainTextEdit*>(box);
                QVERIFY(memo);
                QCOMPARE(i, 2);
                QVERIFY(memo->isReadOnly());
                QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
                QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
                QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
            }
        }
        QCOMPARE(form.Controls().txtCari->accessibleName(), QStringLiteral("Suffix callsign"));
    }

    void centring_halvesRoundedWidthsByTruncation() {
        QCOMPARE(CentredLeft(5220, 2901), 1160);
        QCOMPARE(CentredLeft(5220, 2900), 1160);
        QCOMPARE(CentredLeft(5220, 2902), 1159);
        // Halves go to the even neighbour before halving.
        QCOMPARE(CentredLeft(5220, 2900.5), 1160);
        QCOMPARE(CentredLeft(5220, 2901.5), 1159);
        QCOMPARE(CentredLeft(5221, 2901), 1160);
        QCOMPARE(CentredLeft(100, 301), -100);
    }

    void twips_becomeNearestPixels() {
        QCOMPARE(TwipsToPixels(5220), 348);
        QCOMPARE(TwipsToPixels(-10), -1);
        QCOMPARE(TwipsToPixels(-5), 0);
        QCOMPARE(TwipsToPixels(7), 0);
        QCOMPARE(TwipsToPixels(8), 1);
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
