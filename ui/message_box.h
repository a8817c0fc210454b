#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace kalvera {

// Every message box of the program goes through here, so tests can see and answer them.
struct MessageRequest {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool question = false;  // asked with Ask: Ya and Tidak
};

class MessageBoxes {
  public:
    // Takes over from the real, modal box while set; an empty observer restores it.
    using Observer = std::function<void(const MessageRequest&)>;

    // Shows a modal box with an OK button only; returns when it is closed.
    static void Show(QWidget* parent, const MessageRequest& request);
    // Shows a modal question with the buttons Ya and Tidak and returns true for Ya. Tidak is
    // the default button, and Escape or closing the box answers Tidak too.
    static bool Ask(QWidget* parent, const MessageRequest& request);
    static void SetObserver(Observer observer);
    // While an observer is set, what Ask answers (Tidak unless told otherwise).
    static void SetAnswer(bool yes);
};

}  // namespace kalvera
