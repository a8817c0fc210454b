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

// A program folder of its own, with or without a callbook in it.
class ProgramFolder {
  public:
    ProgramFolder() { QVERIFY(folder_.isValid()); }
    explicit ProgramFolder(const QByteArray& callbook) : ProgramFolder() {
        WriteCallbook(callbook);
    }

    QString Path() const { return folder_.path(); }
    QString CallbookPath() const { return folder_.filePath(QStringLiteral("log.txt")); }

    void WriteCallbook(const QByteArray& bytes) const {
        QFile file(CallbookPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
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

// Types a suffix into the search box as a user would and presses Enter.
inline void SearchFor(Form1& form, const QString& suffix) {
    QLineEdit* box = form.Controls().txtCari;
    box->clear();
    QTest::keyClicks(box, suffix);
    QTest::keyClick(box, Qt::Key_Return);
}

inline bool ShowActive(Form1& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    return QTest::qWaitForWindowActive(&form);
}

struct PopUpSeen {
    bool opened = false;
    QPoint position;
    QStringList captions;  // "-" for a separator
};

// Runs `open`; if a pop-up menu opens, records it and hands it to `whileOpen`, which must close
// it (by choosing an item or dismissing it).
inline PopUpSeen WithPopUp(const std::function<void()>& open,
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
        }
        whileOpen(menu);
    });
    open();
    QCoreApplication::processEvents();
    return *seen;
}

inline void Dismiss(QMenu* menu) {
    QTest::keyClick(menu, Qt::Key_Escape);
}

// Releases `button` over "Menu" and hands the pop-up, if one opens, to `whileOpen`.
inline PopUpSeen ReleaseOverMenu(Form1& form, Qt::MouseButton button,
                                 const std::function<void(QMenu*)>& whileOpen = Dismiss) {
    return WithPopUp([&form, button] { QTest::mouseClick(form.Controls().Label6, button); },
                     whileOpen);
}

// Opens the pop-up from "Menu" and clicks the item named `itemName`.
inline PopUpSeen ChooseFromMenu(Form1& form, const char* itemName) {
    return ReleaseOverMenu(form, Qt::LeftButton, [itemName](QMenu* menu) {
        if (QAction* item = menu->findChild<QAction*>(QString::fromLatin1(itemName))) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        } else {
            Dismiss(menu);
        }
    });
}

}  // namespace kalvera::testing
