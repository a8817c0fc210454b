#include "message_box.h"

namespace kalvera {
namespace {

MessageBoxes::Observer& CurrentObserver() {
    static MessageBoxes::Observer observer;
    return observer;
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

void MessageBoxes::SetObserver(Observer observer) {
    CurrentObserver() = std::move(observer);
}

}  // namespace kalvera
