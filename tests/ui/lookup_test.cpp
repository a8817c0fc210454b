// Looking members up through the search box, on real callbook files.

#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include "search_input.h"
#include "support/failing_input.h"
#include "ui_test_support.h"

using namespace kalvera;
using namespace kalvera::testing;

class LookupTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void lookup_knownSuffix_fillsAllSevenBoxes() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(
            "versi: 1\r\n" + Member("QV27ABC", "Budi Santoso", "2099-01-31", "perpanjangan")));
        Form1 form(folder.Path());
        QVERIFY_OK(SearchFor(form, QStringLiteral("ABC")));
        QCOMPARE(DetailTexts(form),
                 QStringList({"QV27ABC", "Budi Santoso", "Jl. Melati 7", "Kab. Contoh", "0412",
                              "31-01-2099", "PERPANJANGAN"}));
        QCOMPARE(StatusColour(form), kGreen);
    }

    // Every row follows a lookup that left the status box red, so each must set it anew.
    void lookup_afterColouredResult_showsWhatTheFileSays_data() {
        QTest::addColumn<QByteArray>("callbook");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QString>("notFound");
        const auto found = [](const char* row, const QByteArray& callbook, const char* typed,
                              const char* name, const char* status, const QColor& colour) {
            QTest::newRow(row) << callbook << QString::fromLatin1(typed) << QString(name)
                               << QString(status) << colour << QString();
        };
        const auto missing = [](const char* row, const QByteArray& callbook, const char* typed,
                                const char* line) {
            QTest::newRow(row) << callbook << QString::fromLatin1(typed) << QString() << QString()
                               << kWhite << QString(line);
        };
        const auto status = [&found](const char* row, const char* validUntil, const char* stored,
                                     const char* shown, const QColor& colour) {
            found(row, Member("QV27ABC", "Budi", validUntil, stored), "abc", "Budi", shown, colour);
        };
        const QByteArray budi = Member("QV27ABC", "Budi");
        missing("unknown suffix", budi, "XYZ", "QV27XYZ tidak ditemukan!");
        missing("lowercase in file", Member("qv27abc", "Budi"), "ABC", "QV27ABC tidak ditemukan!");
        missing("blanks only: bare prefix", budi, "   ", "QV27 tidak ditemukan!");
        found("shorter suffix: own line only",
              Member("QV27ABC", "Panjang") + Member("QV27AB", "Pendek"), "AB", "Pendek", "VALID",
              kGreen);
        found("duplicate: first line wins",
              Member("QV27ABC", "Pertama") + Member("QV27ABC", "Kedua", kLongExpired), "ABC",
              "Pertama", "VALID", kGreen);
        found("blank before", Member("QV27AB", "Budi"), " ab", "Budi", "VALID", kGreen);
        found("blank after", Member("QV27AB", "Budi"), "AB ", "Budi", "VALID", kGreen);
        status("lifetime", "0000-00-00", "Seumur Hidup", "SEUMUR HIDUP", kYellow);
        status("new, long expired", kLongExpired, "BARU", "BARU", kGreen);
        status("stored invalid", kLongValid, "invalid", "INVALID", kRed);
        status("date passed", kLongExpired, "VALID", "INVALID", kRed);
        status("zero date, other status", "0000-00-00", "lain", "INVALID", kRed);
        status("null date: no status", "NULL", "", "", kWhite);
    }

    void lookup_afterColouredResult_showsWhatTheFileSays() {
        QFETCH(QByteArray, callbook);
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(QString, status);
        QFETCH(QColor, colour);
        QFETCH(QString, notFound);
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(callbook + Member("QV27ZZZ", "Merah", kLongExpired)));
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        QVERIFY_OK(SearchFor(form, QStringLiteral("ZZZ")));
        QCOMPARE(StatusColour(form), kRed);
        QVERIFY_OK(SearchFor(form, typed));
        QCOMPARE(BoxText(form.Controls().Data1[kName]), name);
        QCOMPARE(BoxText(form.Controls().Data1[kStatus]), status);
        QCOMPARE(StatusColour(form), colour);
        QCOMPARE(form.Controls().Label7->text(), notFound);
        if (name.isEmpty()) {
            QCOMPARE(DetailTexts(form), QStringList(7, QString()));
        }
        QCOMPARE(form.Controls().txtCari->text(), QString());
        // The result is offered to screen readers through the search box.
        const QString spoken = form.Controls().txtCari->accessibleDescription();
        QVERIFY2(spoken.contains(notFound.isEmpty() ? name : notFound), qPrintable(spoken));
        QVERIFY(recorded.boxes.isEmpty());
    }

    // Neither an empty box nor a number is looked up; the not-found line stays as it was.
    void lookup_emptyOrNumericInput_emptiesBoxesOnly_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QString>("notFound");
        const QString notFound = QStringLiteral("QV27XYZ tidak ditemukan!");
        const QString abc = QStringLiteral("ABC");
        const QString xyz = QStringLiteral("XYZ");
        QTest::newRow("empty after result") << abc << QString() << kWhite << QString();
        QTest::newRow("empty after not found") << xyz << QString() << kWhite << notFound;
        QTest::newRow("number after result: colour kept")
            << abc << QStringLiteral("12") << kRed << QString();
        QTest::newRow("signed after not found")
            << xyz << QStringLiteral("-7") << kWhite << notFound;
    }

    void lookup_emptyOrNumericInput_emptiesBoxesOnly() {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QColor, colour);
        QFETCH(QString, notFound);
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(Member("QV27ABC", "Budi", kLongExpired)));
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        QVERIFY_OK(SearchFor(form, before));
        QVERIFY_OK(SearchFor(form, typed));
        QCOMPARE(DetailTexts(form), QStringList(7, QString()));
        QCOMPARE(StatusColour(form), colour);
        QCOMPARE(form.Controls().Label7->text(), notFound);
        QCOMPARE(form.Controls().txtCari->text(), QString());
        QVERIFY(recorded.boxes.isEmpty());
    }

    // A not-found line belongs to the lookup that wrote it: the next lookup clears it before
    // it reads the callbook, whatever that lookup then finds.
    void notFoundLine_isClearedBeforeEachLookup() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(Member("QV27ABC", "Budi")));
        const RecordedBoxes recorded;
        Form1 form(folder.Path());
        const QLabel* line = form.Controls().Label7;
        QVERIFY_OK(SearchFor(form, QStringLiteral("XYZ")));
        QCOMPARE(line->text(), QStringLiteral("QV27XYZ tidak ditemukan!"));
        QVERIFY_OK(SearchFor(form, QStringLiteral("ABC")));
        QCOMPARE(BoxText(form.Controls().Data1[kName]), QStringLiteral("Budi"));
        QCOMPARE(line->text(), QString());

        QVERIFY_OK(SearchFor(form, QStringLiteral("XYZ")));
        QVERIFY_OK(SearchFor(form, QStringLiteral("QQQ")));
        QCOMPARE(line->text(), QStringLiteral("QV27QQQ tidak ditemukan!"));
        QVERIFY(recorded.boxes.isEmpty());

        QVERIFY(QFile::remove(folder.CallbookPath()));
        QVERIFY_OK(SearchFor(form, QStringLiteral("ABC")));
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(line->text(), QString());
    }

    // Values longer than their boxes are read from their start: the one-line boxes have the
    // caret at 0, the address box wraps and shows its first line, with no scroll bar.
    void lookup_longValues_showTheirStartWithoutScrollBars() {
        const QByteArray name =
            "Raden Mas Soeryo Koesoemo Hadiningrat-Sch\xC3\xB6nberg-Wirjosoemarto bin Haji "
            "Abdurrahman";
        const QByteArray region = "Kabupaten Kepulauan Seribu Utara dan Selatan Daerah Khusus";
        const QByteArray address =
            "Perumahan Griya Permata Hijau Blok C-17 Nomor 4, Jalan Raya Cibubur, Kelurahan "
            "Harjamukti, RT 005 RW 011, Kecamatan Cimanggis, Kota Depok, Jawa Barat 16454, "
            "dekat Masjid Al-Ikhlas dan Pasar Pagi";
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook("QV27PJG#" + name + "#" + address + "#" + region +
                                        "#000000000000000000000000000000000001#2099-12-31#"
                                        "perpanjangan\r\n"));
        Form1 form(folder.Path());
        QVERIFY(ShowActive(form));
        QVERIFY_OK(SearchFor(form, QStringLiteral("PJG")));
        const Form1Controls& c = form.Controls();
        QCOMPARE(BoxText(c.Data1[kName]), QString::fromUtf8(name));
        QCOMPARE(BoxText(c.Data1[kRegion]), QString::fromUtf8(region));
        for (const QWidget* box : c.Data1) {
            if (const auto* line = qobject_cast<const QLineEdit*>(box)) {
                QCOMPARE(line->cursorPosition(), 0);
                QVERIFY(!line->hasSelectedText());
            }
        }
        const auto* memo = qobject_cast<const QPlainTextEdit*>(c.Data1[kAddress]);
        QVERIFY(memo);
        QCOMPARE(memo->toPlainText(), QString::fromUtf8(address));
        QVERIFY(memo->verticalScrollBar()->maximum() > 0);  // more than the box can show
        QCOMPARE(memo->textCursor().position(), 0);
        QCOMPARE(memo->verticalScrollBar()->value(), 0);
        QCoreApplication::processEvents();  // scroll bars come and go as the layout is redone
        QVERIFY(!memo->verticalScrollBar()->isVisible());
        QVERIFY(!memo->horizontalScrollBar()->isVisible());
        // The code of ethics scrolls vertically only.
        QCOMPARE(c.txtEtik->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(c.txtEtik->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        // The search box keeps its own rule: the caret after the last character.
        QTest::keyClicks(c.txtCari, QStringLiteral("pj"));
        QCOMPARE(c.txtCari->cursorPosition(), 2);
    }

    void numericTest_acceptsSignedIntegersAndDecimalsOnly() {
        for (const char* number : {"12", " 1.5", "-7", "+3", ".5", "4.", " 1 "}) {
            QVERIFY2(IsNumericText(QString::fromLatin1(number)), number);
        }
        for (const char* text : {"", "   ", "1A", "1E5", "inf", ".", "-", "1.2.3", "1 2", "--1"}) {
            QVERIFY2(!IsNumericText(QString::fromLatin1(text)), text);
        }
    }

    void lookup_missingCallbook_showsBoxAndNoNotFoundLine() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(Member("QV27ABC", "Budi")));
        Form1 form(folder.Path());
        QVERIFY(QFile::remove(folder.CallbookPath()));
        const RecordedBoxes recorded;
        QVERIFY_OK(SearchFor(form, QStringLiteral("ABC")));
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(recorded.boxes[0].text, QStringLiteral("Database tidak ditemukan!"));
        QCOMPARE(DetailTexts(form), QStringList(7, QString()));
        QCOMPARE(form.Controls().Label7->text(), QString());
    }

    // The member may stand after the failure: never "tidak ditemukan!" then.
    void lookup_readFailingPartWay_showsBoxAndNoNotFoundLine() {
        QByteArray text;
        for (int i = 0; i < 20000; ++i) {
            text += Member("QV27ABC", "Budi");
        }
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(text + Member("QV27XYZ", "Akhir")));
        Form1 form(folder.Path());
        const ReadFailureAfter failure(static_cast<std::size_t>(text.size() / 2));
        const RecordedBoxes recorded;
        QVERIFY_OK(SearchFor(form, QStringLiteral("XYZ")));
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(recorded.boxes[0].text, QStringLiteral("Database tidak ditemukan!"));
        QCOMPARE(DetailTexts(form), QStringList(7, QString()));
        QCOMPARE(form.Controls().Label7->text(), QString());
    }

    // As editors save the callbook: Notepad's "Unicode", old Mac line ends, CR CR LF. The
    // member is found with its status word, and the banner and region list read right.
    void lookup_editorFormats_readRightInTheWindow_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QString text =
            QStringLiteral("versi: 7\r\nQV27ABC#Ren\u00e9#Jl#Kota#1#null#baru\r\n");
        QByteArray utf16("\xFF\xFE", 2);
        for (const QChar c : text) {
            utf16.append(static_cast<char>(c.unicode() & 0xFF));
            utf16.append(static_cast<char>(c.unicode() >> 8));
        }
        QByteArray mac = text.toUtf8();
        mac.replace("\r\n", "\r");
        QByteArray doubled = text.toUtf8();
        doubled.replace("\r\n", "\r\r\n");
        QTest::newRow("utf16") << utf16;
        QTest::newRow("oldMac") << mac;
        QTest::newRow("crCrLf") << doubled;
    }

    void lookup_editorFormats_readRightInTheWindow() {
        QFETCH(QByteArray, bytes);
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(bytes));
        Form1 form(folder.Path());
        QCOMPARE(form.Controls().Label5->text(), QStringLiteral("Database versi: 7 WIB"));
        QCOMPARE(ComboItems(form), (QStringList{QString(), QStringLiteral("Kota")}));
        QVERIFY_OK(SearchFor(form, QStringLiteral("abc")));
        QCOMPARE(DetailTexts(form), (QStringList{"QV27ABC", QStringLiteral("Ren\u00e9"), "Jl",
                                                 "Kota", "1", "-", "BARU"}));
        QCOMPARE(StatusColour(form), kGreen);
    }

    void search_startsOnEnterOrCariOnly() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(Member("QV27ABC", "Budi")));
        Form1 form(folder.Path());
        QLineEdit* box = form.Controls().txtCari;
        box->setText(QStringLiteral("ABC"));
        QTest::keyClick(box, Qt::Key_Escape);
        QTest::keyClick(box, Qt::Key_Left);
        QCOMPARE(BoxText(form.Controls().Data1[kName]), QString());
        QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(BoxText(form.Controls().Data1[kName]), QStringLiteral("Budi"));
        QVERIFY_OK(SearchFor(form, QStringLiteral("XYZ")));
        box->setText(QStringLiteral("abc"));
        QTest::mouseClick(form.Controls().Command1, Qt::LeftButton);
        QCOMPARE(BoxText(form.Controls().Data1[kName]), QStringLiteral("Budi"));
        QCOMPARE(box->text(), QString());
    }

    void searchBox_upperCasesKeepsCaretAtEndAndHoldsThreeCharacters() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(Member("QV27ABC", "Budi")));
        Form1 form(folder.Path());
        QLineEdit* box = form.Controls().txtCari;
        box->clear();
        QTest::keyClicks(box, QStringLiteral("ab"));
        QCOMPARE(box->text(), QStringLiteral("AB"));
        // A letter put in front still leaves the caret after the last character.
        box->setCursorPosition(0);
        QTest::keyClicks(box, QStringLiteral("cd"));
        QCOMPARE(box->text(), QStringLiteral("CAB"));
        QCOMPARE(box->cursorPosition(), 3);
        QVERIFY(!box->hasSelectedText());

        box->clear();
        QApplication::clipboard()->setText(QStringLiteral("xyzw"));
        box->paste();
        QCOMPARE(box->text(), QStringLiteral("XYZ"));
        QCOMPARE(box->cursorPosition(), 3);
    }
};

QTEST_MAIN(LookupTest)
#include "lookup_test.moc"
