#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>
#include <functional>
#include <memory>

#include "controls.h"
#include "form1.h"
#include "message_box.h"

namespace kalvera::testing {

// What a helper did, for the test to check with QVERIFY_OK: nothing when it did its work,
// otherwise what went wrong. A helper cannot end the test itself (QVERIFY in a helper returns
// only from the helper), so it hands the problem to the test, which must look at it.
struct [[nodiscard]] Done {
    QString problem;
    bool Ok() const { return problem.isEmpty(); }
};

// Ends the test with the helper's problem, as ASSERT_LEVELDB_OK ends it with a bad Status.
#define QVERIFY_OK(expression)                               \
    do {                                                     \
        const ::kalvera::testing::Done done_ = (expression); \
        QVERIFY2(done_.Ok(), qPrintable(done_.problem));     \
    } while (false)

// A program folder of its own, with or without a callbook in it.
class ProgramFolder {
  public:
    QString Path() const { return folder_.path(); }
    QString CallbookPath() const { return folder_.filePath(QStringLiteral("log.txt")); }

    // Whether the folder was made; a test that puts no callbook into it checks this.
    Done Made() const {
        return {folder_.isValid()
                    ? QString()
                    : QStringLiteral("no temporary folder: ") + folder_.errorString()};
    }

    Done WriteCallbook(const QByteArray& bytes) const {
        if (const Done made = Made(); !made.Ok()) {
            return made;
        }
        QFile file(CallbookPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size() || !file.flush()) {
            return {QStringLiteral("cannot write %1: %2").arg(CallbookPath(), file.errorString())};
        }
        return {};
    }

  private:
    QTemporaryDir folder_;
};

// Records every message box while alive instead of showing it.
class RecordedBoxes {
  public:
    RecordedBoxes() {
        MessageBoxes::SetObserver([this](const MessageRequest& request) { boxes.append(request); });
    }
    ~RecordedBoxes() { MessageBoxes::SetObserver({}); }
    RecordedBoxes(const RecordedBoxes&) = delete;
    RecordedBoxes& operator=(const RecordedBoxes&) = delete;

    QList<MessageRequest> boxes;
};

// Far from any test run's date, so that the status does not depend on the day.
inline constexpr char kLongValid[] = "2099-12-31";
inline constexpr char kLongExpired[] = "2001-01-31";

inline const QColor kGreen(0, 255, 0);
inline const QColor kYellow(255, 255, 0);
inline const QColor kRed(255, 0, 0);
inline const QColor kWhite(Qt::white);

// One member line living at Jl. Melati 7, Kab. Contoh, NIA 0412.
inline QByteArray Member(const char* callsign, const char* name,
                         const char* validUntil = kLongValid, const char* status = "") {
    return QByteArray(callsign) + "#" + name + "#Jl. Melati 7#Kab. Contoh#0412#" + validUntil +
           "#" + status + "\r\n";
}

inline QStringList DetailTexts(const Form1& form) {
    QStringList texts;
    for (const QWidget* box : form.Controls().Data1) {
        texts << BoxText(box);
    }
    return texts;
}

inline QColor StatusColour(const Form1& form) {
    return BoxBackground(form.Controls().Data1[kStatus]);
}

inline QStringList ComboItems(const Form1& form) {
    QStringList items;
    for (int i = 0; i < form.Controls().Combo1->count(); ++i) {
        items << form.Controls().Combo1->itemText(i);
    }
    return items;
}

// Types a suffix into the search box as a user would and presses Enter; a problem when the box
// did not take what was typed.
inline Done SearchFor(Form1& form, const QString& suffix) {
    QLineEdit* box = form.Controls().txtCari;
    box->clear();
    QTest::keyClicks(box, suffix);
    const QString expected = suffix.toUpper().left(box->maxLength());
    if (box->text() != expected) {
        return {QStringLiteral("typed \"%1\", but the search box holds \"%2\", not \"%3\"")
                    .arg(suffix, box->text(), expected)};
    }
    QTest::keyClick(box, Qt::Key_Return);
    return {};
}

inline bool ShowActive(Form1& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    return QTest::qWaitForWindowActive(&form);
}

struct [[nodiscard]] PopUpSeen {
    bool opened = false;
    bool chosen = false;  // ChooseFromMenu: the item was there and was clicked
    QPoint position;
    QStringList captions;  // "-" for a separator
};

// Runs `open`; if a pop-up menu opens, records it and hands it to `whileOpen`, which must close
// it (by choosing an item or dismissing it) and says whether it chose one.
inline PopUpSeen WithPopUp(const std::function<void()>& open,
                           const std::function<bool(QMenu*)>& whileOpen) {
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
        }
        seen->chosen = whileOpen(menu);
    });
    open();
    QCoreApplication::processEvents();
    return *seen;
}

inline bool Dismiss(QMenu* menu) {
    QTest::keyClick(menu, Qt::Key_Escape);
    return false;
}

// Releases `button` over "Menu" and hands the pop-up, if one opens, to `whileOpen`.
inline PopUpSeen ReleaseOverMenu(Form1& form, Qt::MouseButton button,
                                 const std::function<bool(QMenu*)>& whileOpen = Dismiss) {
    return WithPopUp([&form, button] { QTest::mouseClick(form.Controls().Label6, button); },
                     whileOpen);
}

// Opens the pop-up from "Menu" and clicks the item named `itemName`; `chosen` tells whether
// there was one to click.
inline PopUpSeen ChooseFromMenu(Form1& form, const char* itemName) {
    return ReleaseOverMenu(form, Qt::LeftButton, [itemName](QMenu* menu) {
        QAction* item = menu->findChild<QAction*>(QString::fromLatin1(itemName));
        if (!item) {
            return Dismiss(menu);
        }
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        return true;
    });
}

}  // namespace kalvera::testing
