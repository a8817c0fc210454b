// The hidden region listing: Combo1, Command2 and List1 as the window uses them.

#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>

#include "controls.h"
#include "ui_test_support.h"

using namespace kalvera;
using namespace kalvera::testing;

namespace {

const QByteArray kCallbook =
    "versi: 1\r\n"
    "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r\n"
    "QV27ABD#Siti#Jl. Kenanga 21#Kota Dua#0413#null#\r\n"
    "QV27ABE#Agus#Jl. Dahlia 3#Kab. Contoh#0414#NULL#baru\r\n"
    "QV27ABF#Rina#Kota Dua#Kota Tiga#0415#null#\r\n";

QStringList Rows(const Form1& form) {
    QStringList rows;
    for (int i = 0; i < form.Controls().List1->count(); ++i) {
        rows << form.Controls().List1->item(i)->text();
    }
    return rows;
}

void SelectRegion(Form1& form, const QString& region) {
    QComboBox* combo = form.Controls().Combo1;
    const int index = combo->findText(region);
    QVERIFY(index >= 0);
    combo->setCurrentIndex(index);
}

}  // namespace

class RegionListingTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void listing_chosenRegion_appendsRowsAndShowsCount() {
        const ProgramFolder folder(kCallbook);
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        SelectRegion(form, QStringLiteral("Kab. Contoh"));
        form.Command2_Click();
        QCOMPARE(Rows(form),
                 QStringList({"QV27ABC | Budi | Jl. Melati 7 | Kab. Contoh | 0412 | 31-01-2026 | "
                              "PERPANJANGAN",
                              "QV27ABE | Agus | Jl. Dahlia 3 | Kab. Contoh | 0414 | - | BARU"}));
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(recorded.boxes[0].text, QStringLiteral("2"));
        QCOMPARE(recorded.boxes[0].title, QStringLiteral("Kalvera"));
        QCOMPARE(recorded.boxes[0].icon, QMessageBox::NoIcon);
    }

    void listing_twice_accumulatesRowsAndCountsThemAll() {
        const ProgramFolder folder(kCallbook);
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        SelectRegion(form, QStringLiteral("Kota Dua"));
        form.Command2_Click();
        form.Command2_Click();
        QCOMPARE(Rows(form).size(), 2);
        QCOMPARE(Rows(form)[0], Rows(form)[1]);
        QCOMPARE(recorded.boxes.size(), 2);
        QCOMPARE(recorded.boxes[0].text, QStringLiteral("1"));
        QCOMPARE(recorded.boxes[1].text, QStringLiteral("2"));
    }

    void listing_regionWithoutMembers_countsRowsAlreadyThere() {
        const ProgramFolder folder(kCallbook);
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        form.Controls().Combo1->setEditText(QStringLiteral("Kota Entah"));
        form.Command2_Click();
        QCOMPARE(recorded.boxes.last().text, QStringLiteral("0"));
        SelectRegion(form, QStringLiteral("Kota Dua"));
        form.Command2_Click();
        form.Controls().Combo1->setEditText(QStringLiteral("Kota Entah"));
        form.Command2_Click();
        QCOMPARE(recorded.boxes.last().text, QStringLiteral("1"));
    }

    void listing_typedText_isTheKey() {
        const ProgramFolder folder(kCallbook);
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        form.Controls().Combo1->setEditText(QStringLiteral("Kota Dua"));
        form.Command2_Click();
        // The member living at an address "Kota Dua" in Kota Tiga is not listed.
        QCOMPARE(Rows(form),
                 QStringList({"QV27ABD | Siti | Jl. Kenanga 21 | Kota Dua | 0413 | -"}));
    }

    void listing_ansiRegion_usesTheStoredBytes() {
        const ProgramFolder folder("QV27ABC#Budi#Jl. 7#Kota \xD1usa#0412#null#\r\n");
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        SelectRegion(form, QStringLiteral("Kota \u00D1usa"));
        form.Command2_Click();
        QCOMPARE(Rows(form), QStringList({"QV27ABC | Budi | Jl. 7 | Kota \u00D1usa | 0412 | -"}));
    }

    void listing_widensHorizontalScrollRange() {
        const ProgramFolder folder(kCallbook);
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        ListBoxControl* list = form.Controls().List1;
        QCOMPARE(list->HorizontalExtent(), 0);
        SelectRegion(form, QStringLiteral("Kab. Contoh"));
        form.Command2_Click();
        QCOMPARE(list->HorizontalExtent(), 5000);
        QCOMPARE(list->horizontalScrollBar()->maximum(), 5000 - list->viewport()->width());
        list->addItem(QStringLiteral("satu baris lagi"));
        QCOMPARE(list->horizontalScrollBar()->maximum(), 5000 - list->viewport()->width());
    }

    void listing_missingCallbook_showsOnlyTheMissingFileBox() {
        ProgramFolder folder(kCallbook);
        Form1 form(folder.Path());
        QVERIFY(QFile::remove(folder.CallbookPath()));
        const RecordedBoxes recorded;
        SelectRegion(form, QStringLiteral("Kab. Contoh"));
        form.Command2_Click();
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(recorded.boxes[0].text, QStringLiteral("Database tidak ditemukan!"));
        QCOMPARE(form.Controls().List1->count(), 0);
        QCOMPARE(form.Controls().List1->HorizontalExtent(), 0);
    }
};

QTEST_MAIN(RegionListingTest)
#include "region_listing_test.moc"
