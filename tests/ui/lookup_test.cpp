// Looking members up through the search box, on real callbook files.

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "search_input.h"
#include "ui_test_support.h"

using namespace kalvera;
using namespace kalvera::testing;

namespace {

const QColor kGreen(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);

QByteArray Member(const char* callsign, const char* name, const char* validUntil,
                  const char* status) {
    return QByteArray(callsign) + "#" + name + "#Jl. Melati 7#Kab. Contoh#0412#" + validUntil +
           "#" + status + "\r\n";
}

}  // namespace

class LookupTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void lookup_knownSuffix_fillsAllSevenBoxes() {
        const ProgramFolder folder("versi: 1\r\n" +
                                   Member("QV27ABC", "Budi Santoso", "2099-01-31", "perpanjangan"));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(DetailTexts(form),
                 QStringList({"QV27ABC", "Budi Santoso", "Jl. Melati 7", "Kab. Contoh", "0412",
                              "31-01-2099", "PERPANJANGAN"}));
        QCOMPARE(StatusColour(form), kGreen);
        QCOMPARE(form.Controls().Label7->text(), QString());
        QCOMPARE(form.Controls().txtCari->text(), QString());
    }

    void lookup_statusColours_followTheMembership_data() {
        QTest::addColumn<QByteArray>("validUntil");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("lifetime") << QByteArray("0000-00-00") << QByteArray("Seumur Hidup")
                                  << "SEUMUR HIDUP" << kYellow;
        QTest::newRow("new, long expired")
            << QByteArray(kLongExpired) << QByteArray("BARU") << "BARU" << kGreen;
        QTest::newRow("stored invalid")
            << QByteArray(kLongValid) << QByteArray("invalid") << "INVALID" << kRed;
        QTest::newRow("date ahead") << QByteArray(kLongValid) << QByteArray() << "VALID" << kGreen;
        QTest::newRow("date passed")
            << QByteArray(kLongExpired) << QByteArray("VALID") << "INVALID" << kRed;
        QTest::newRow("zero date")
            << QByteArray("0000-00-00") << QByteArray("lain") << "INVALID" << kRed;
        QTest::newRow("null date")
            << QByteArray("NULL") << QByteArray() << QString() << QColor(Qt::white);
    }

    void lookup_statusColours_followTheMembership() {
        QFETCH(QByteArray, validUntil);
        QFETCH(QByteArray, status);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        const ProgramFolder folder(
            Member("QV27ABC", "Budi", validUntil.constData(), status.constData()));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("abc"));
        QCOMPARE(BoxText(form.Controls().Data1[0]), QStringLiteral("QV27ABC"));
        QCOMPARE(BoxText(form.Controls().Data1[6]), text);
        QCOMPARE(StatusColour(form), colour);
    }

    void lookup_afterColouredResult_noStatusMemberLeavesBoxWhite() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongExpired, "") +
                                   Member("QV27ABD", "Siti", "null", ""));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(StatusColour(form), kRed);
        SearchFor(form, QStringLiteral("ABD"));
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Siti"));
        QCOMPARE(BoxText(form.Controls().Data1[6]), QString());
        QCOMPARE(StatusColour(form), QColor(Qt::white));
    }

    void lookup_unknownSuffix_showsNotFoundLine() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("XYZ"));
        QCOMPARE(DetailTexts(form), QStringList(7, QString()));
        QCOMPARE(form.Controls().Label7->text(), QStringLiteral("QV27XYZ tidak ditemukan!"));
        QCOMPARE(StatusColour(form), QColor(Qt::white));
        QCOMPARE(form.Controls().txtCari->text(), QString());
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(form.Controls().Label7->text(), QString());
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Budi"));
    }

    void lookup_lowercaseCallsignInFile_isNotFound() {
        const ProgramFolder folder(Member("qv27abc", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(BoxText(form.Controls().Data1[0]), QString());
        QCOMPARE(form.Controls().Label7->text(), QStringLiteral("QV27ABC tidak ditemukan!"));
    }

    void lookup_shorterSuffix_findsOnlyItsOwnCallsign() {
        const ProgramFolder folder(Member("QV27ABC", "Panjang", kLongValid, "") +
                                   Member("QV27AB", "Pendek", kLongValid, ""));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("AB"));
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Pendek"));
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Panjang"));
    }

    void lookup_duplicateCallsign_showsFirstLine() {
        const ProgramFolder folder(Member("QV27ABC", "Pertama", kLongValid, "") +
                                   Member("QV27ABC", "Kedua", kLongExpired, ""));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Pertama"));
        QCOMPARE(StatusColour(form), kGreen);
    }

    void lookup_blanksAroundSuffix_areTrimmed() {
        const ProgramFolder folder(Member("QV27AB", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral(" ab"));
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Budi"));
        SearchFor(form, QStringLiteral("AB "));
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Budi"));
    }

    void lookup_blanksOnly_searchesForBarePrefix() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("   "));
        QCOMPARE(form.Controls().Label7->text(), QStringLiteral("QV27 tidak ditemukan!"));

        const ProgramFolder bare(Member("QV27", "Tanpa Akhiran", kLongValid, ""));
        Form1 second(bare.Path());
        SearchFor(second, QStringLiteral("  "));
        QCOMPARE(BoxText(second.Controls().Data1[1]), QStringLiteral("Tanpa Akhiran"));
    }

    void lookup_emptySearchBox_emptiesBoxesAndKeepsNotFoundLine() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongExpired, ""));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("XYZ"));
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(StatusColour(form), kRed);
        SearchFor(form, QStringLiteral("XYZ"));
        form.Controls().txtCari->clear();
        form.Command1_Click();
        QCOMPARE(DetailTexts(form), QStringList(7, QString()));
        QCOMPARE(StatusColour(form), QColor(Qt::white));
        QCOMPARE(form.Controls().Label7->text(), QStringLiteral("QV27XYZ tidak ditemukan!"));
    }

    void lookup_numericText_emptiesSearchBoxAndKeepsStatusColour() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongExpired, ""));
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("ABC"));
        SearchFor(form, QStringLiteral("12"));
        QCOMPARE(DetailTexts(form), QStringList(7, QString()));
        QCOMPARE(form.Controls().txtCari->text(), QString());
        QCOMPARE(StatusColour(form), kRed);
        QCOMPARE(form.Controls().Label7->text(), QString());
        QVERIFY(recorded.boxes.isEmpty());
    }

    void lookup_numericText_keepsNotFoundLine() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("XYZ"));
        SearchFor(form, QStringLiteral("-7"));
        QCOMPARE(form.Controls().Label7->text(), QStringLiteral("QV27XYZ tidak ditemukan!"));
    }

    void numericTest_acceptsSignedIntegersAndDecimals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        for (const char* number : {"12", "0", " 1.5", "-7", "+3", ".5", "4.", "7  ", " 1 "}) {
            QTest::newRow(number) << QString::fromLatin1(number) << true;
        }
        for (const char* text : {"", "   ", "ABC", "1A", "1E5", "inf", "NAN", ".", "+", "-",
                                 "1.2.3", "1 2", "0x1", "--1"}) {
            QTest::newRow(text) << QString::fromLatin1(text) << false;
        }
    }

    void numericTest_acceptsSignedIntegersAndDecimals() {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QCOMPARE(IsNumericText(text), numeric);
    }

    void lookup_missingCallbook_showsBoxAndNoNotFoundLine() {
        ProgramFolder folder(Member("QV27ABC", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        QVERIFY(QFile::remove(folder.CallbookPath()));
        const RecordedBoxes recorded;
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(recorded.boxes[0].text, QStringLiteral("Database tidak ditemukan!"));
        QCOMPARE(recorded.boxes[0].title, QStringLiteral("Informasi"));
        QCOMPARE(recorded.boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(DetailTexts(form), QStringList(7, QString()));
        QCOMPARE(form.Controls().Label7->text(), QString());
    }

    void lookup_readsTheFileAnewEveryTime() {
        const ProgramFolder folder(Member("QV27ABC", "Lama", kLongValid, ""));
        Form1 form(folder.Path());
        folder.WriteCallbook(Member("QV27ABC", "Baru", kLongValid, ""));
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Baru"));
    }

    void lookup_ansiBytes_areShownAsText() {
        const ProgramFolder folder(Member("QV27ABC", "Jos\xE9", kLongValid, ""));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("ABC"));
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Jos\u00E9"));
    }

    void cariButton_actsLikeEnter() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        form.Controls().txtCari->setText(QStringLiteral("abc"));
        QTest::mouseClick(form.Controls().Command1, Qt::LeftButton);
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Budi"));
        QCOMPARE(form.Controls().txtCari->text(), QString());
    }

    void keys_onlyEnterSearches() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        form.Controls().txtCari->setText(QStringLiteral("ABC"));
        QTest::keyClick(form.Controls().txtCari, Qt::Key_Escape);
        QTest::keyClick(form.Controls().txtCari, Qt::Key_Left);
        QCOMPARE(BoxText(form.Controls().Data1[1]), QString());
        QCOMPARE(form.Controls().txtCari->text(), QStringLiteral("ABC"));
        QTest::keyClick(form.Controls().txtCari, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(BoxText(form.Controls().Data1[1]), QStringLiteral("Budi"));
    }

    void typing_upperCasesWithCaretAtEnd() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        QLineEdit* box = form.Controls().txtCari;
        box->clear();
        QTest::keyClicks(box, QStringLiteral("ab"));
        QCOMPARE(box->text(), QStringLiteral("AB"));
        QCOMPARE(box->cursorPosition(), 2);
        // A letter put in front still leaves the caret after the last character.
        box->setCursorPosition(0);
        QTest::keyClicks(box, QStringLiteral("c"));
        QCOMPARE(box->text(), QStringLiteral("CAB"));
        QCOMPARE(box->cursorPosition(), 3);
        QVERIFY(!box->hasSelectedText());
    }

    void searchBox_refusesAFourthCharacter() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        QLineEdit* box = form.Controls().txtCari;
        box->clear();
        QTest::keyClicks(box, QStringLiteral("abcd"));
        QCOMPARE(box->text(), QStringLiteral("ABC"));
    }

    void searchBox_pastedTextIsCutToThreeCharacters() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        QLineEdit* box = form.Controls().txtCari;
        box->clear();
        QApplication::clipboard()->setText(QStringLiteral("xyzw"));
        box->paste();
        QCOMPARE(box->text(), QStringLiteral("XYZ"));
        QCOMPARE(box->cursorPosition(), 3);
    }

    void lookup_resultIsOfferedToScreenReaders() {
        const ProgramFolder folder(Member("QV27ABC", "Budi", kLongValid, ""));
        Form1 form(folder.Path());
        SearchFor(form, QStringLiteral("ABC"));
        const QString found = form.Controls().txtCari->accessibleDescription();
        QVERIFY(found.contains(QStringLiteral("Budi")));
        QVERIFY(found.contains(QStringLiteral("VALID")));
        SearchFor(form, QStringLiteral("XYZ"));
        QCOMPARE(form.Controls().txtCari->accessibleDescription(),
                 QStringLiteral("QV27XYZ tidak ditemukan!"));
    }
};

QTEST_MAIN(LookupTest)
#include "lookup_test.moc"
