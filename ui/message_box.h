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
    // Takes over from the real box while set; an empty observer restores it.
    using Observer = std::function<void(const MessageRequest&)>;
    using Answered = std::function<void(bool yes)>;

    // Shows a modal box with an OK button only; returns when it is closed.
    static void Show(QWidget* parent, const MessageRequest& request);
    // Asks with the buttons Ya and Tidak and returns at once, without an event loop of its
    // own: `answered` gets true for Ya later, from the event loop, unless `parent` is gone by
    // then. Tidak is the default button, and Escape or closing the box answers Tidak too. The
    // box is modal to `parent` only; the asker may close it (which answers Tidak). Null while
    // an observer is set.
    static QMessageBox* Ask(QWidget* parent, const MessageRequest& request, Answered answered);
    static void SetObserver(Observer observer);
    // While an observer is set, what Ask answers from the event loop (Tidak unless told
    // otherwise); or, after HoldAnswers(), nothing until AnswerHeld().
    static void SetAnswer(bool yes);
    static void HoldAnswers();
    // Answers the question held longest; false when none is held.
    static bool AnswerHeld(bool yes);
};

}  // namespace kalvera
