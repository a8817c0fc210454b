#include "message_box.h"

#include <QPushButton>

namespace kalvera {
namespace {

MessageBoxes::Observer& CurrentObserver() {
    static MessageBoxes::Observer observer;
    return observer;
}

bool& CurrentAnswer() {
    static bool yes = false;
    return yes;
}

}  // namespace

void MessageBoxes::Show(QWidget* parent, const MessageRequest& request) {
    if (const auto& observer = CurrentObserver()) {
        observer(request);
        return;
    }
    // A window not shown yet (start-up) has no place on the screen to centre the box over;
    // the box then centres on the screen itself.
    QWidget* owner = parent && parent->isVisible() ? parent : nullptr;
    QMessageBox box(request.icon, request.title, request.text, QMessageBox::Ok, owner);
    box.exec();
}

bool MessageBoxes::Ask(QWidget* parent, const MessageRequest& request) {
    MessageRequest asked = request;
    asked.question = true;
    if (const auto& observer = CurrentObserver()) {
        observer(asked);
        return CurrentAnswer();
    }
    QWidget* owner = parent && parent->isVisible() ? parent : nullptr;
    QMessageBox box(request.icon, request.title, request.text, QMessageBox::NoButton, owner);
    QPushButton* yes = box.addButton(QStringLiteral("Ya"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Tidak"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void MessageBoxes::SetObserver(Observer observer) {
    CurrentObserver() = std::move(observer);
    CurrentAnswer() = false;
}

void MessageBoxes::SetAnswer(bool yes) {
    CurrentAnswer() = yes;
}

}  // namespace kalvera
