#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#include "controls.h"
#include "form1.h"
#include "message_box.h"

namespace kalvera::testing {

// A program folder of its own holding `callbook` as log.txt, or no log.txt at all. A callbook
// that cannot be written ends the run: no test may pass on a file it did not write.
class ProgramFolder : public QTemporaryDir {
  public:
    explicit ProgramFolder(const std::optional<QByteArray>& callbook) {
        QFile file(filePath(QStringLiteral("log.txt")));
        if (!isValid() || (callbook && (!file.open(QIODevice::WriteOnly) ||
                                        file.write(*callbook) != callbook->size()))) {
            qFatal("cannot write %s", qPrintable(file.fileName()));
        }
    }
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

inline QStringList ComboItems(const Form1& form) {
    QStringList items;
    for (int i = 0; i < form.Controls().Combo1->count(); ++i) {
        items << form.Controls().Combo1->itemText(i);
    }
    return items;
}

inline bool ShowActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

struct [[nodiscard]] PopUpSeen {
    bool opened = false;
    bool chosen = false;  // ChooseFromMenu: the item was there and was clicked
};

// Runs `open`; a pop-up menu that opens goes to `whileOpen`, which must close it (by choosing
// an item or dismissing it) and says whether it chose one.
inline PopUpSeen WithPopUp(const std::function<void()>& open,
                           const std::function<bool(QMenu*)>& whileOpen) {
    auto seen = std::make_shared<PopUpSeen>();
    QTimer::singleShot(0, [seen, whileOpen] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            seen->opened = true;
            seen->chosen = whileOpen(menu);
        }
    });
    open();
    QCoreApplication::processEvents();
    return *seen;
}

// Opens the pop-up from "Menu" with the left button and clicks the item named `itemName`.
inline PopUpSeen ChooseFromMenu(Form1& form, const char* itemName) {
    return WithPopUp([&form] { QTest::mouseClick(form.Controls().Label6, Qt::LeftButton); },
                     [itemName](QMenu* menu) {
                         QAction* item = menu->findChild<QAction*>(QString::fromLatin1(itemName));
                         if (!item) {
                             menu->close();
                             return false;
                         }
                         QTest::mouseClick(menu, Qt::LeftButton, {},
                                           menu->actionGeometry(item).center());
                         return true;
                     });
}

}  // namespace kalvera::testing
