// The hidden region listing: Combo1, Command2 and List1 as the window uses them.

#include <QScrollBar>

#include "ui_test_support.h"

using namespace kalvera;
using namespace kalvera::testing;

namespace {

const QByteArray kCallbook =
    "versi: 1\r\n"
    "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r\n"
    "QV27ABD#Siti#Jl. Kenanga 21#Kota Dua#0413#null#\r\n"
    "QV27ABE#Agus#Jl. Dahlia 3#Kab. Contoh#0414#NULL#baru\r\n"
    "QV27ABF#Rina#Kota Dua#Kota \xD1usa#0415#null#\r\n";

QStringList Rows(const Form1& form) {
    QStringList rows;
    for (int i = 0; i < form.Controls().List1->count(); ++i) {
        rows << form.Controls().List1->item(i)->text();
    }
    return rows;
}

}  // namespace

class RegionListingTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void listing_chosenRegion_appendsRowsAndCountsAllRows() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(kCallbook));
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        // The version line before any member carries the empty region.
        QCOMPARE(ComboItems(form), QStringList({"", "Kab. Contoh", "Kota Dua", "Kota \u00D1usa"}));
        form.Controls().Combo1->setCurrentIndex(1);
        form.Command2_Click();
        const QStringList rows = {
            "QV27ABC | Budi | Jl. Melati 7 | Kab. Contoh | 0412 | 31-01-2026 | PERPANJANGAN",
            "QV27ABE | Agus | Jl. Dahlia 3 | Kab. Contoh | 0414 | - | BARU"};
        QCOMPARE(Rows(form), rows);
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(recorded.boxes[0].text, QStringLiteral("2"));
        QCOMPARE(recorded.boxes[0].title, QStringLiteral("Kalvera"));
        QCOMPARE(recorded.boxes[0].icon, QMessageBox::NoIcon);
        ListBoxControl* list = form.Controls().List1;
        QCOMPARE(list->HorizontalExtent(), 5000);
        QCOMPARE(list->horizontalScrollBar()->maximum(), 5000 - list->viewport()->width());
        form.Command2_Click();
        QCOMPARE(Rows(form), rows + rows);
        QCOMPARE(recorded.boxes.size(), 2);
        QCOMPARE(recorded.boxes[1].text, QStringLiteral("4"));
    }

    // A chosen item is looked for by the bytes the callbook stores, typed text as typed; both
    // only in the region field.
    void listing_keyIsStoredBytesOrTypedText() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(kCallbook));
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        form.Controls().Combo1->setCurrentIndex(3);
        form.Command2_Click();
        form.Controls().Combo1->setEditText(QStringLiteral("Kota Dua"));
        form.Command2_Click();
        QCOMPARE(Rows(form),
                 QStringList({"QV27ABF | Rina | Kota Dua | Kota \u00D1usa | 0415 | -",
                              "QV27ABD | Siti | Jl. Kenanga 21 | Kota Dua | 0413 | -"}));
    }

    void listing_missingCallbook_showsOnlyTheMissingFileBox() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(kCallbook));
        Form1 form(folder.Path());
        QVERIFY(QFile::remove(folder.CallbookPath()));
        const RecordedBoxes recorded;
        form.Controls().Combo1->setCurrentIndex(1);
        form.Command2_Click();
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(recorded.boxes[0].text, QStringLiteral("Database tidak ditemukan!"));
        QCOMPARE(form.Controls().List1->count(), 0);
    }
};

QTEST_MAIN(RegionListingTest)
#include "region_listing_test.moc"
