// The window tests' helpers: each reports what it could not do, for the test to check.

#include <QDir>

#include "ui_test_support.h"

using namespace kalvera;
using namespace kalvera::testing;

class UiTestSupportTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void programFolder_writeWhereTheFolderIsGone_reportsIt() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.Made());
        QVERIFY(QDir(folder.Path()).removeRecursively());
        const Done done = folder.WriteCallbook("versi: 1\r\n");
        QVERIFY(!done.Ok());
        QVERIFY2(done.problem.startsWith(QStringLiteral("cannot write ")),
                 qPrintable(done.problem));
    }

    void searchFor_boxThatTakesNoTyping_reportsIt() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(Member("QV27ABC", "Budi")));
        Form1 form(folder.Path());
        QVERIFY_OK(SearchFor(form, QStringLiteral("abc")));
        QCOMPARE(DetailTexts(form)[kName], QStringLiteral("Budi"));
        form.Controls().txtCari->setReadOnly(true);
        const Done done = SearchFor(form, QStringLiteral("xyz"));
        QVERIFY(!done.Ok());
        QVERIFY2(done.problem.contains(QStringLiteral("search box holds")),
                 qPrintable(done.problem));
    }

    void chooseFromMenu_itemThatIsNotThere_isNotChosen() {
        const ProgramFolder folder;
        QVERIFY_OK(folder.WriteCallbook(Member("QV27ABC", "Budi")));
        Form1 form(folder.Path());
        QVERIFY(ShowActive(form));
        const PopUpSeen seen = ChooseFromMenu(form, "mNoSuchItem");
        QVERIFY(seen.opened);
        QVERIFY(!seen.chosen);
        QVERIFY(ChooseFromMenu(form, "mKode").chosen);
    }
};

QTEST_MAIN(UiTestSupportTest)
#include "test_support_test.moc"
