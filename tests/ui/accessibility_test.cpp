// What a screen reader gets from the window: roles it can work with, boxes named by their
// captions, every lookup announced, the version and the menu keys within reach, a tree that
// does not grow with the region list; and the search box's first keys, which replace the sample.

#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <QAccessible>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui_test_support.h"
#include "window_texts.h"

using namespace kalvera;
using namespace kalvera::testing;

namespace {

// One event as a screen reader would get it: its kind, and the role and name of its object
// at that moment.
struct SeenEvent {
    QAccessible::Event type;
    QObject* object;
    QAccessible::Role role;
    QString name;
    QVariant value;  // of a value change
};

QList<SeenEvent>& Seen() {
    static QList<SeenEvent> seen;
    return seen;
}

void Record(QAccessibleEvent* event) {
    QAccessibleInterface* iface = event->accessibleInterface();
    Seen().append({event->type(), event->object(), iface ? iface->role() : QAccessible::NoRole,
                   iface ? iface->text(QAccessible::Name) : QString(),
                   event->type() == QAccessible::ValueChanged
                       ? static_cast<QAccessibleValueChangeEvent*>(event)->value()
                       : QVariant()});
}

// What each notification that appeared said, in order: AT-SPI takes it from the notification
// being shown, UI Automation from its value changing to a text.
QStringList Announcements() {
    QStringList shown;
    QStringList valued;
    for (const SeenEvent& event : Seen()) {
        if (event.role == QAccessible::Notification && event.type == QAccessible::ObjectShow) {
            shown << event.name;
        }
        if (event.role == QAccessible::Notification && event.type == QAccessible::ValueChanged) {
            valued << event.value.toString();
        }
    }
    return shown == valued ? shown
                           : QStringList{"shown:"} + shown + QStringList{"valued:"} + valued;
}

QAccessibleInterface* Accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

// The objects a screen reader finds by walking the tree down from `root`, `root` included.
int TreeSize(QAccessibleInterface* root, int depth = 0) {
    if (!root || depth > 50) {
        return 0;
    }
    int size = 1;
    for (int i = 0; i < root->childCount(); ++i) {
        size += TreeSize(root->child(i), depth + 1);
    }
    return size;
}

QByteArray Regions(int count) {
    QByteArray callbook = "versi: 9\r\n";
    for (int i = 0; i < count; ++i) {
        callbook += "QV27A" + QByteArray::number(i) + "#Nama#Jl#Kab. Wilayah " +
                    QByteArray::number(i) + "#1#2099-12-31#\r\n";
    }
    return callbook;
}

const QByteArray kCallbook = "versi: 2026-03-01 10:15\r\n" + Member("QV27ABC", "Budi Santoso") +
                             Member("QV27BGS", "Wahyu Hidayat", kLongExpired);

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        // Qt sends its accessibility events only while a screen reader listens; offscreen none
        // does, so the platform's accessibility is switched on by hand.
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        QAccessible::installUpdateHandler(Record);
    }

    void cleanupTestCase() { QAccessible::installUpdateHandler(nullptr); }

    void init() {
        folder_ = std::make_unique<ProgramFolder>();
        QVERIFY_OK(folder_->WriteCallbook(kCallbook));
        form_ = std::make_unique<Form1>(folder_->Path());
        Seen().clear();
    }

    void cleanup() {
        form_.reset();
        folder_.reset();
    }

    void window_isAWindowNamedByItsCaption() {
        QAccessibleInterface* window = Accessible(form_.get());
        QCOMPARE(window->role(), QAccessible::Window);
        QCOMPARE(window->text(QAccessible::Name),
                 QStringLiteral("Callbook KORA Wirasena (Versi Offline 1.0)"));
    }

    // A screen reader takes the nearest window-like ancestor of the focus for its window, and
    // drops the focus when that one is not active: only the top level may be one.
    void focusableControls_haveNoWindowOrFrameAboveThemButTheWindow() {
        QVERIFY(ShowActive(*form_));
        QAccessibleInterface* window = Accessible(form_.get());
        int checked = 0;
        for (QWidget* control : form_->findChildren<QWidget*>()) {
            if (control->focusPolicy() == Qt::NoFocus || control->isWindow()) {
                continue;
            }
            ++checked;
            QAccessibleInterface* above = Accessible(control)->parent();
            while (above && above != window) {
                QVERIFY2(
                    above->role() != QAccessible::Window && above->role() != QAccessible::Border,
                    qPrintable(control->objectName() + " lies in " +
                               above->object()->objectName()));
                above = above->parent();
            }
            QVERIFY2(above == window, qPrintable(control->objectName()));
        }
        QVERIFY(checked >= 10);  // the search box, seven boxes, "Cari", the code of ethics
        const Form1Controls& c = form_->Controls();
        for (QWidget* panel : {static_cast<QWidget*>(c.Frame1), static_cast<QWidget*>(c.Frame2),
                               static_cast<QWidget*>(c.Frame3)}) {
            QCOMPARE(Accessible(panel)->role(), QAccessible::Pane);
        }
    }

    void boxes_areLabelledByTheirCaptions() {
        const Form1Controls& c = form_->Controls();
        for (std::size_t i = 0; i <= kPrefixLabel; ++i) {
            QWidget* box = i == kPrefixLabel ? c.txtCari : c.Data1[i];
            const auto labels = Accessible(box)->relations(QAccessible::Label);
            QCOMPARE(labels.size(), 1);
            QCOMPARE(labels[0].first->object(), c.Label1[i]);
            if (i != kPrefixLabel) {
                QCOMPARE(Accessible(box)->text(QAccessible::Name), c.Label1[i]->text());
            }
        }
        QCOMPARE(Accessible(c.txtCari)->text(QAccessible::Name), QStringLiteral("Suffix callsign"));
    }

    // A screen reader speaks a box's text run by run: each character must lie in one, or it is
    // left out. A magnifier follows the caret by each character's rectangle on the screen.
    // Nothing of a password is told, not even how long it is.
    void lineEdits_tellTheirTextAndWhereEachCharacterIs() {
        QVERIFY(ShowActive(*form_));
        QVERIFY_OK(SearchFor(*form_, QStringLiteral("bgs")));
        const Form1Controls& c = form_->Controls();
        QTest::keyClicks(c.txtCari, QStringLiteral("bgs"));
        QCOMPARE(c.txtCari->text(), QStringLiteral("BGS"));
        for (QWidget* box :
             {static_cast<QWidget*>(c.txtCari), c.Data1[kCallsign], c.Data1[kStatus]}) {
            QAccessibleTextInterface* text = Accessible(box)->textInterface();
            QVERIFY(text);
            const int count = text->characterCount();
            QVERIFY2(count > 0, qPrintable(box->objectName()));
            const QRect onScreen(box->mapToGlobal(QPoint(0, 0)), box->size());
            int left = onScreen.left() - 1;
            for (int offset = 0; offset < count; ++offset) {
                int start = -1;
                int end = -1;
                text->attributes(offset, &start, &end);
                QVERIFY2(start <= offset && offset < end, qPrintable(box->objectName()));
                const QRect character = text->characterRect(offset);
                QVERIFY2(
                    !character.isEmpty() && onScreen.contains(character) && character.left() > left,
                    qPrintable(QStringLiteral("%1 %2: (%3, %4) %5x%6 in (%7, %8) %9x%10")
                                   .arg(box->objectName())
                                   .arg(offset)
                                   .arg(character.x())
                                   .arg(character.y())
                                   .arg(character.width())
                                   .arg(character.height())
                                   .arg(onScreen.x())
                                   .arg(onScreen.y())
                                   .arg(onScreen.width())
                                   .arg(onScreen.height())));
                left = character.left();
            }
            QCOMPARE(text->text(0, count), Accessible(box)->text(QAccessible::Value));
        }
        QCOMPARE(Accessible(c.Data1[kStatus])->text(QAccessible::Value), QStringLiteral("INVALID"));
        QVERIFY(Accessible(c.Data1[kStatus])->state().readOnly);
        QVERIFY(Accessible(c.txtCari)->state().editable);

        QLineEdit password;
        password.setEchoMode(QLineEdit::Password);
        password.setText(QStringLiteral("rahasia"));
        QAccessibleTextInterface* secret = Accessible(&password)->textInterface();
        QVERIFY(secret);
        QCOMPARE(secret->characterCount(), 0);
        QCOMPARE(secret->characterRect(0), QRect());
    }

    // The result is announced whatever it is, the same member twice included, and stays in
    // the search box's description for when the focus comes back.
    void lookup_announcesItsOutcome() {
        QVERIFY(ShowActive(*form_));
        const QString bgs = QStringLiteral(
            "Callsign QV27BGS, Nama Wahyu Hidayat, Alamat Jl. Melati 7, Kab/Kota Kab. Contoh, "
            "NIA 0412, Berlaku 31-01-2001, Status INVALID");
        QVERIFY_OK(SearchFor(*form_, QStringLiteral("bgs")));
        QVERIFY_OK(SearchFor(*form_, QStringLiteral("ZZZ")));
        QVERIFY_OK(SearchFor(*form_, QStringLiteral("bgs")));
        QVERIFY_OK(SearchFor(*form_, QStringLiteral("bgs")));
        QCOMPARE(Announcements(),
                 QStringList({bgs, QStringLiteral("QV27ZZZ tidak ditemukan!"), bgs, bgs}));
        QCOMPARE(form_->Controls().txtCari->accessibleDescription(), bgs);
    }

    // Neither an empty box nor a number is looked up, so there is nothing to announce.
    void noLookup_announcesNothing() {
        QVERIFY(ShowActive(*form_));
        QVERIFY_OK(SearchFor(*form_, QString()));
        QVERIFY_OK(SearchFor(*form_, QStringLiteral("12")));
        QCOMPARE(Announcements(), QStringList());
    }

    void codeOfEthics_isReadWhenItsPanelIsChosen() {
        QVERIFY(ShowActive(*form_));
        QVERIFY(ChooseFromMenu(*form_, "mKode").chosen);
        QCOMPARE(Announcements(), QStringList({form_->Controls().txtEtik->toPlainText()}));
        QVERIFY(ChooseFromMenu(*form_, "mCallsign").chosen);
        QCOMPARE(Announcements().size(), 1);
    }

    // Qt itself says nothing when the focus comes back from the menu.
    void menuClosed_focusIsToldAgain() {
        QVERIFY(ShowActive(*form_));
        Seen().clear();
        QVERIFY(ReleaseOverMenu(*form_, Qt::LeftButton).opened);
        QVERIFY(std::any_of(Seen().cbegin(), Seen().cend(), [this](const SeenEvent& event) {
            return event.type == QAccessible::Focus && event.object == form_->Controls().txtCari;
        }));
    }

    // The banner is no stop of the Tab order: the window carries it, and the search box until
    // the first lookup; the menu keys are told with the search box's first focus only.
    void versionAndMenuKeys_areToldWithTheFocus() {
        const Form1Controls& c = form_->Controls();
        const QString banner = QStringLiteral("Database versi: 2026-03-01 10:15 WIB");
        QCOMPARE(Accessible(form_.get())->text(QAccessible::Description), banner);
        QCOMPARE(Accessible(c.txtCari)->text(QAccessible::Description), banner + ". " + kMenuHint);
        QVERIFY(ShowActive(*form_));
        QTest::keyClick(c.txtCari, Qt::Key_Tab);
        QCOMPARE(Accessible(c.txtCari)->text(QAccessible::Description), banner);
        QVERIFY_OK(SearchFor(*form_, QStringLiteral("ZZZ")));
        QCOMPARE(Accessible(c.txtCari)->text(QAccessible::Description),
                 QStringLiteral("QV27ZZZ tidak ditemukan!"));
        QCOMPARE(Accessible(form_.get())->text(QAccessible::Description), banner);
    }

    // Without a callbook the banner has no version, but the menu keys are still told.
    void missingCallbook_menuKeysAreStillTold() {
        const ProgramFolder empty;
        QVERIFY_OK(empty.Made());
        const RecordedBoxes recorded;
        const Form1 form(empty.Path());
        QCOMPARE(recorded.boxes.size(), 1);
        QCOMPARE(Accessible(form.Controls().txtCari)->text(QAccessible::Description),
                 QStringLiteral("Database versi:. ") + kMenuHint);
    }

    // The sample suffix stands in the box, selected: the keys typed first replace it.
    void firstSuffixTyped_replacesTheSample() {
        QVERIFY(ShowActive(*form_));
        QLineEdit* box = form_->Controls().txtCari;
        QCOMPARE(box->text(), QStringLiteral("ABC"));
        QCOMPARE(box->selectedText(), QStringLiteral("ABC"));
        QCOMPARE(QApplication::focusWidget(), box);
        QTest::keyClicks(box, QStringLiteral("bgs"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(BoxText(form_->Controls().Data1[kCallsign]), QStringLiteral("QV27BGS"));
    }

    // As a Windows edit box: focus back by Tab, from the menu or from another window selects
    // the text; a click puts the caret where it falls.
    void focusBack_selectsTheText_butAClickDoesNot() {
        QVERIFY(ShowActive(*form_));
        QLineEdit* box = form_->Controls().txtCari;
        box->setText(QStringLiteral("XY"));
        QVERIFY(!box->hasSelectedText());
        QTest::keyClick(box, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(box->selectedText(), QStringLiteral("XY"));

        box->deselect();
        QVERIFY(ReleaseOverMenu(*form_, Qt::LeftButton).opened);
        QCOMPARE(box->selectedText(), QStringLiteral("XY"));

        box->deselect();
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        QTRY_VERIFY(other.isActiveWindow());
        other.close();
        QVERIFY(ShowActive(*form_));
        QCOMPARE(box->selectedText(), QStringLiteral("XY"));

        QTest::keyClick(box, Qt::Key_Tab);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(2, box->height() / 2));
        QCOMPARE(QApplication::focusWidget(), box);
        QVERIFY(!box->hasSelectedText());
        QCOMPARE(box->cursorPosition(), 0);
    }

    // The hidden region list is one object, however many regions there are.
    void regionList_ofTenThousand_addsNoObjects() {
        const ProgramFolder few;
        QVERIFY_OK(few.WriteCallbook(Regions(1)));
        const Form1 small(few.Path());
        const ProgramFolder many;
        QVERIFY_OK(many.WriteCallbook(Regions(10000)));
        const Form1 large(many.Path());
        QCOMPARE(large.Controls().Combo1->count(), 10000);
        const int size = TreeSize(Accessible(const_cast<Form1*>(&large)));
        QCOMPARE(size, TreeSize(Accessible(const_cast<Form1*>(&small))));
        QVERIFY2(size < 200, qPrintable(QString::number(size)));
        QCOMPARE(Accessible(large.Controls().Combo1)->childCount(), 0);
        QCOMPARE(Accessible(large.Controls().Combo1)->role(), QAccessible::ComboBox);
        QCOMPARE(Accessible(large.Controls().List1)->childCount(), 0);
    }

  private:
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<Form1> form_;
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
