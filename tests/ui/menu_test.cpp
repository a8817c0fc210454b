// The "Menu" label: hover colours, the pop-up and what its items do; keyboard navigation.

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "controls.h"
#include "form2.h"
#include "twips.h"
#include "ui_test_support.h"

using namespace kalvera;
using namespace kalvera::testing;

namespace {

const QByteArray kCallbook =
    "versi: 7\r\nQV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2099-12-31#\r\n";

QColor MenuTextColour(const Form1& form) {
    return form.Controls().Label6->palette().color(QPalette::WindowText);
}

struct PopUpSeen {
    bool opened = false;
    QPoint position;
    QStringList captions;
    QStringList names;
};

// Releases `button` over "Menu"; while the pop-up is open, records it and hands it to
// `whileOpen`, which must close it. Returns what was seen.
PopUpSeen ReleaseOverMenuLabel(Form1& form, Qt::MouseButton button,
                               const std::function<void(QMenu*)>& whileOpen) {
    auto seen = std::make_shared<PopUpSeen>();
    QTimer::singleShot(0, [seen, whileOpen] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            return;
        }
        seen->opened = true;
        seen->position = menu->pos();
        for (const QAction* action : menu->actions()) {
            seen->captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
            seen->names << action->objectName();
        }
        whileOpen(menu);
    });
    QTest::mouseClick(form.Controls().Label6, button);
    QCoreApplication::processEvents();
    return *seen;
}

void Choose(QMenu* menu, const char* itemName) {
    QAction* item = menu->findChild<QAction*>(QString::fromLatin1(itemName));
    QVERIFY(item);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

void Dismiss(QMenu* menu) {
    QTest::keyClick(menu, Qt::Key_Escape);
}

}  // namespace

class MenuTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        folder_ = std::make_unique<ProgramFolder>(kCallbook);
        form_ = std::make_unique<Form1>(folder_->Path());
        form_->show();
        QApplication::setActiveWindow(form_.get());
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }

    void cleanup() {
        form_.reset();
        folder_.reset();
    }

    void hover_menuTurnsRedOverLabelAndBlackOverSurfaces() {
        Form1& form = *form_;
        const Form1Controls& c = form.Controls();
        QCOMPARE(MenuTextColour(form), QColor(Qt::black));
        QTest::mouseMove(c.Label6, c.Label6->rect().center());
        QCOMPARE(MenuTextColour(form), QColor(Qt::red));
        // The banner is disabled: movement over it is the window's own.
        QTest::mouseMove(&form, QPoint(60, 30));
        QCOMPARE(MenuTextColour(form), QColor(Qt::black));
        QTest::mouseMove(c.Label6, c.Label6->rect().center());
        QTest::mouseMove(c.Frame1, QPoint(c.Frame1->width() - 12, c.Frame1->height() - 6));
        QCOMPARE(MenuTextColour(form), QColor(Qt::black));
        QTest::mouseMove(c.Label6, c.Label6->rect().center());
        // The footer band is a shape: the window's surface too.
        QTest::mouseMove(&form, QPoint(form.width() - 10, form.height() - 8));
        QCOMPARE(MenuTextColour(form), QColor(Qt::black));
    }

    void hover_controlsWithoutHandler_leaveColourAsItWas() {
        Form1& form = *form_;
        const Form1Controls& c = form.Controls();
        QTest::mouseMove(c.Label6, c.Label6->rect().center());
        QTest::mouseMove(c.Label1[0], c.Label1[0]->rect().center());
        QTest::mouseMove(c.Data1[1], c.Data1[1]->rect().center());
        QTest::mouseMove(c.Command1, c.Command1->rect().center());
        QTest::mouseMove(c.Label3, c.Label3->rect().center());
        QCOMPARE(MenuTextColour(form), QColor(Qt::red));
    }

    void hover_overCodeOfEthicsPanel_turnsMenuBlack() {
        Form1& form = *form_;
        const Form1Controls& c = form.Controls();
        ReleaseOverMenuLabel(form, Qt::LeftButton, [](QMenu* menu) { Choose(menu, "mKode"); });
        QVERIFY(c.Frame2->isVisible());
        QTest::mouseMove(c.Label6, c.Label6->rect().center());
        QCOMPARE(MenuTextColour(form), QColor(Qt::red));
        QTest::mouseMove(c.Frame2, QPoint(3, c.Frame2->height() - 4));
        QCOMPARE(MenuTextColour(form), QColor(Qt::black));
    }

    void pointer_isAHandOverMenuAndCari() {
        const Form1Controls& c = form_->Controls();
        QCOMPARE(c.Label6->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(c.Command1->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(c.Data1[0]->cursor().shape() == Qt::PointingHandCursor, false);
    }

    void popUp_opensUnderMenuWithItsFiveEntries() {
        Form1& form = *form_;
        const PopUpSeen seen = ReleaseOverMenuLabel(form, Qt::LeftButton, Dismiss);
        QVERIFY(seen.opened);
        QCOMPARE(seen.captions,
                 QStringList({"Callsign", "Kode Etik", "Sekretariat", "-", "Unduh Database"}));
        QCOMPARE(seen.names, QStringList({"mCallsign", "mKode", "mSekretariat", "sep1", "mUnduh"}));
        const TwipsRect label = GeometryTwips(form.Controls().Label6);
        QCOMPARE(label.left, 4785);
        QCOMPARE(label.top, 660);
        const QPoint underLabel(TwipsToPixels(label.left), TwipsToPixels(label.top + label.height));
        QCOMPARE(seen.position, form.mapToGlobal(underLabel));
        QCOMPARE(seen.position.x(), form.mapToGlobal(form.Controls().Label6->pos()).x());
        QCOMPARE(seen.position.y(),
                 form.mapToGlobal(form.Controls().Label6->geometry().bottomLeft()).y() + 1);
    }

    void popUp_otherButtons_openNothingAndMakeNoMenuForm() {
        Form1& form = *form_;
        QVERIFY(!ReleaseOverMenuLabel(form, Qt::RightButton, Dismiss).opened);
        QVERIFY(!ReleaseOverMenuLabel(form, Qt::MiddleButton, Dismiss).opened);
        QVERIFY(!form.ExistingMenuForm());
        QVERIFY(ReleaseOverMenuLabel(form, Qt::LeftButton, Dismiss).opened);
        QVERIFY(form.ExistingMenuForm());
        QCOMPARE(form.ExistingMenuForm()->Owner(), &form);
        QVERIFY(!form.ExistingMenuForm()->isVisible());
        QCOMPARE(form.ExistingMenuForm()->windowTitle(), QStringLiteral("Form2"));
    }

    void popUp_whileMinimized_doesNotOpen() {
        Form1& form = *form_;
        form.showMinimized();
        QTRY_VERIFY(form.isMinimized());
        QVERIFY(!ReleaseOverMenuLabel(form, Qt::LeftButton, Dismiss).opened);
        QVERIFY(form.ExistingMenuForm());
    }

    void popUp_f10OpensItFromTheKeyboard() {
        Form1& form = *form_;
        bool opened = false;
        QTimer::singleShot(0, [&opened] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                opened = true;
                Dismiss(menu);
            }
        });
        QTest::keyClick(form.Controls().txtCari, Qt::Key_F10);
        QCoreApplication::processEvents();
        QVERIFY(opened);
        QCOMPARE(form.focusWidget(), form.Controls().txtCari);
    }

    void kodeEtik_showsCodeOfEthicsInPlaceOfLookup() {
        Form1& form = *form_;
        const Form1Controls& c = form.Controls();
        ReleaseOverMenuLabel(form, Qt::LeftButton, [](QMenu* menu) { Choose(menu, "mKode"); });
        QVERIFY(c.Frame2->isVisible());
        QVERIFY(!c.Frame1->isVisible());
        QCOMPARE(c.Frame2->geometry(), c.Frame1->geometry());
        ReleaseOverMenuLabel(form, Qt::LeftButton, [](QMenu* menu) { Choose(menu, "mKode"); });
        QVERIFY(c.Frame2->isVisible());
        QVERIFY(!c.Frame1->isVisible());
    }

    void callsign_bringsBackLookupWithLastResults() {
        Form1& form = *form_;
        const Form1Controls& c = form.Controls();
        SearchFor(form, QStringLiteral("ABC"));
        const QStringList results = DetailTexts(form);
        QCOMPARE(results[1], QStringLiteral("Budi"));
        const QString ethics = c.txtEtik->toPlainText();
        ReleaseOverMenuLabel(form, Qt::LeftButton, [](QMenu* menu) { Choose(menu, "mKode"); });
        ReleaseOverMenuLabel(form, Qt::LeftButton, [](QMenu* menu) { Choose(menu, "mCallsign"); });
        QVERIFY(c.Frame1->isVisible());
        QVERIFY(!c.Frame2->isVisible());
        QCOMPARE(DetailTexts(form), results);
        QCOMPARE(StatusColour(form), QColor(0, 255, 0));
        QCOMPARE(c.txtEtik->toPlainText(), ethics);
        QCOMPARE(c.Label5->text(), QStringLiteral("Database versi: 7 WIB"));
    }

    void sekretariat_andEscape_changeNothing() {
        Form1& form = *form_;
        const Form1Controls& c = form.Controls();
        const PopUpSeen chosen = ReleaseOverMenuLabel(
            form, Qt::LeftButton, [](QMenu* menu) { Choose(menu, "mSekretariat"); });
        QVERIFY(chosen.opened);
        QVERIFY(!QApplication::activePopupWidget());
        QVERIFY(c.Frame1->isVisible());
        QVERIFY(!c.Frame2->isVisible());
        QVERIFY(!c.Frame3->isVisible());
        ReleaseOverMenuLabel(form, Qt::LeftButton, Dismiss);
        QVERIFY(!QApplication::activePopupWidget());
        QVERIFY(c.Frame1->isVisible());
        QVERIFY(!c.Frame2->isVisible());
    }

    void separator_cannotBeChosen() {
        Form1& form = *form_;
        const Form1Controls& c = form.Controls();
        bool isSeparator = false;
        ReleaseOverMenuLabel(form, Qt::LeftButton, [&isSeparator](QMenu* menu) {
            QAction* separator = menu->findChild<QAction*>(QStringLiteral("sep1"));
            isSeparator = separator && separator->isSeparator();
            QSignalSpy triggered(menu, &QMenu::triggered);
            Choose(menu, "sep1");
            QCOMPARE(triggered.count(), 0);
            if (QApplication::activePopupWidget() == menu) {
                Dismiss(menu);
            }
        });
        QVERIFY(isSeparator);
        QVERIFY(c.Frame1->isVisible());
        QVERIFY(!c.Frame2->isVisible());
        QVERIFY(!c.Frame3->isVisible());
    }

    void tab_runsFromSearchBoxThroughBoxesBackwardsToCari() {
        Form1& form = *form_;
        QCOMPARE(QApplication::focusWidget(), form.Controls().txtCari);
        QStringList visited;
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, QStringList({"Data1_6", "Data1_5", "Data1_4", "Data1_3", "Data1_2",
                                       "Data1_1", "Data1_0", "Command1", "txtCari"}));
        visited.clear();
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, QStringList({"Command1", "Data1_0", "Data1_1", "Data1_2", "Data1_3",
                                       "Data1_4", "Data1_5", "Data1_6", "txtCari"}));
    }

    void close_endsWithoutAskingAndUnloadsMenuForm() {
        Form1& form = *form_;
        const RecordedBoxes recorded;
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        QVERIFY(recorded.boxes.isEmpty());
        QVERIFY(!form.ExistingMenuForm());
    }

    void close_afterMenuWasUsed_unloadsMenuForm() {
        Form1& form = *form_;
        ReleaseOverMenuLabel(form, Qt::LeftButton, Dismiss);
        QPointer<Form2> menuForm = form.ExistingMenuForm();
        QVERIFY(menuForm);
        QVERIFY(form.close());
        QVERIFY(!form.ExistingMenuForm());
        QTRY_VERIFY(menuForm.isNull());
    }

  private:
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<Form1> form_;
};

QTEST_MAIN(MenuTest)
#include "menu_test.moc"
