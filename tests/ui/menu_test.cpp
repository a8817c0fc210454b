// The "Menu" label: hover colours, the pop-up and what its items do; keyboard navigation and
// closing the window.

#include <QFrame>
#include <QPlainTextEdit>

#include "form2.h"
#include "twips.h"
#include "ui_test_support.h"

using namespace kalvera;
using namespace kalvera::testing;

class MenuTest : public QObject {
    Q_OBJECT

    QColor MenuColour() const {
        return form_->Controls().Label6->palette().color(QPalette::WindowText);
    }

  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        folder_ = std::make_unique<ProgramFolder>();
        QVERIFY_OK(folder_->WriteCallbook("versi: 7\r\n" + Member("QV27ABC", "Budi")));
        form_ = std::make_unique<Form1>(folder_->Path());
        QVERIFY(ShowActive(*form_));
    }

    void cleanup() {
        form_.reset();
        folder_.reset();
    }

    // Points are inside `widget` (the window when empty); negative ones count from the right and
    // bottom edges. Controls without a pointer-move procedure keep the colour as it was.
    void hover_menuIsRedOverItselfAndBlackOverSurfaces_data() {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("banner, disabled") << QString() << QPoint(60, 30) << QColor(Qt::black);
        QTest::newRow("footer band") << QString() << QPoint(-10, -8) << QColor(Qt::black);
        QTest::newRow("lookup panel") << "Frame1" << QPoint(-12, -6) << QColor(Qt::black);
        QTest::newRow("ethics panel") << "Frame2" << QPoint(3, -4) << QColor(Qt::black);
        QTest::newRow("detail box") << "Data1_1" << QPoint(5, 5) << kRed;
        QTest::newRow("cari button") << "Command1" << QPoint(5, 5) << kRed;
        QTest::newRow("footer text") << "Label3" << QPoint(5, 5) << kRed;
    }

    void hover_menuIsRedOverItselfAndBlackOverSurfaces() {
        QFETCH(QString, widget);
        QFETCH(QPoint, point);
        QFETCH(QColor, colour);
        const Form1Controls& c = form_->Controls();
        if (widget == QLatin1String("Frame2")) {
            QVERIFY(ChooseFromMenu(*form_, "mKode").chosen);
            QVERIFY(c.Frame2->isVisible());
        }
        QCOMPARE(MenuColour(), QColor(Qt::black));
        QTest::mouseMove(c.Label6, c.Label6->rect().center());
        QCOMPARE(MenuColour(), kRed);
        QWidget* over = widget.isEmpty() ? form_.get() : form_->findChild<QWidget*>(widget);
        QVERIFY(over);
        QTest::mouseMove(over, QPoint(point.x() < 0 ? over->width() + point.x() : point.x(),
                                      point.y() < 0 ? over->height() + point.y() : point.y()));
        QCOMPARE(MenuColour(), colour);
    }

    void popUp_opensUnderMenuLeftAlignedWithItsEntries() {
        // F10 opens it from the keyboard on its first item, and Escape gives the focus back;
        // the pointer opens it with no item highlighted.
        QString onKey;
        QVERIFY(WithPopUp([this] { QTest::keyClick(form_->Controls().txtCari, Qt::Key_F10); },
                          [&onKey](QMenu* menu) {
                              onKey =
                                  menu->activeAction() ? menu->activeAction()->text() : QString();
                              return Dismiss(menu);
                          })
                    .opened);
        QCOMPARE(onKey, QStringLiteral("Callsign"));
        QCOMPARE(form_->focusWidget(), form_->Controls().txtCari);
        QAction* highlighted = nullptr;
        const PopUpSeen seen = ReleaseOverMenu(*form_, Qt::LeftButton, [&highlighted](QMenu* menu) {
            highlighted = menu->activeAction();
            return Dismiss(menu);
        });
        QVERIFY(!highlighted);
        QVERIFY(seen.opened);
        QCOMPARE(seen.captions,
                 QStringList({"Callsign", "Kode Etik", "Sekretariat", "-", "Unduh Database"}));
        const QLabel* label = form_->Controls().Label6;
        QCOMPARE(seen.position.x(), label->mapToGlobal(QPoint(0, 0)).x());
        QCOMPARE(seen.position.y(), label->mapToGlobal(QPoint(0, label->height())).y());
    }

    void popUp_otherButtonsOrMinimized_openNothing() {
        QVERIFY(!ReleaseOverMenu(*form_, Qt::RightButton).opened);
        QVERIFY(!ReleaseOverMenu(*form_, Qt::MiddleButton).opened);
        QVERIFY(!form_->ExistingMenuForm());
        QVERIFY(ReleaseOverMenu(*form_, Qt::LeftButton).opened);
        QVERIFY(form_->ExistingMenuForm());
        QVERIFY(!form_->ExistingMenuForm()->isVisible());
        form_->showMinimized();
        QTRY_VERIFY(form_->isMinimized());
        QVERIFY(!ReleaseOverMenu(*form_, Qt::LeftButton).opened);
    }

    void kodeEtikThenCallsign_switchPanelsAndKeepResults() {
        const Form1Controls& c = form_->Controls();
        QVERIFY_OK(SearchFor(*form_, QStringLiteral("ABC")));
        const QStringList results = DetailTexts(*form_);
        QCOMPARE(results[1], QStringLiteral("Budi"));
        for (int twice = 0; twice < 2; ++twice) {
            QVERIFY(ChooseFromMenu(*form_, "mKode").chosen);
            QVERIFY(c.Frame2->isVisible());
            QVERIFY(!c.Frame1->isVisible());
        }
        QCOMPARE(c.Frame2->geometry(), c.Frame1->geometry());
        QVERIFY(ChooseFromMenu(*form_, "mCallsign").chosen);
        QVERIFY(c.Frame1->isVisible());
        QVERIFY(!c.Frame2->isVisible());
        QCOMPARE(DetailTexts(*form_), results);
        QCOMPARE(StatusColour(*form_), kGreen);
        QCOMPARE(c.Label5->text(), QStringLiteral("Database versi: 7 WIB"));
    }

    void sekretariatAndEscape_changeNothing() {
        const Form1Controls& c = form_->Controls();
        QVERIFY(ChooseFromMenu(*form_, "mSekretariat").chosen);
        QVERIFY(ReleaseOverMenu(*form_, Qt::LeftButton).opened);
        QVERIFY(!QApplication::activePopupWidget());
        QVERIFY(c.Frame1->isVisible());
        QVERIFY(!c.Frame2->isVisible());
        QVERIFY(!c.Frame3->isVisible());
    }

    void tab_runsFromSearchBoxThroughBoxesBackwardsToCari() {
        QCOMPARE(QApplication::focusWidget(), form_->Controls().txtCari);
        QStringList visited;
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, QStringList({"Data1_6", "Data1_5", "Data1_4", "Data1_3", "Data1_2",
                                       "Data1_1", "Data1_0", "Command1", "txtCari"}));
    }

    void close_endsQuietlyAndUnloadsMenuForm_data() {
        QTest::addColumn<bool>("menuUsed");
        QTest::newRow("menu never opened") << false;
        QTest::newRow("menu used") << true;
    }

    void close_endsQuietlyAndUnloadsMenuForm() {
        QFETCH(bool, menuUsed);
        if (menuUsed) {
            QVERIFY(ReleaseOverMenu(*form_, Qt::LeftButton).opened);
        }
        const QPointer<Form2> menuForm = form_->ExistingMenuForm();
        const RecordedBoxes recorded;
        QVERIFY(form_->close());
        QVERIFY(!form_->isVisible());
        QVERIFY(recorded.boxes.isEmpty());
        QVERIFY(!form_->ExistingMenuForm());
        QTRY_VERIFY(menuForm.isNull());
    }

  private:
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<Form1> form_;
};

QTEST_MAIN(MenuTest)
#include "menu_test.moc"
