#include "message_box.h"

#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <optional>

namespace kalvera {
namespace {

MessageBoxes::Observer& CurrentObserver() {
    static MessageBoxes::Observer observer;
    return observer;
}

// What an observed question is answered; nothing while answers are held.
std::optional<bool>& CurrentAnswer() {
    static std::optional<bool> yes = false;
    return yes;
}

// An answer for a question, which is dropped when its asker is gone.
class Reply {
  public:
    Reply(QWidget* asker, MessageBoxes::Answered answered)
        : asker_(asker), hadAsker_(asker != nullptr), answered_(std::move(answered)) {}
    void operator()(bool yes) const {
        if (asker_ || !hadAsker_) {
            answered_(yes);
        }
    }

  private:
    QPointer<QWidget> asker_;
    bool hadAsker_;
    MessageBoxes::Answered answered_;
};

// The observed questions waiting for AnswerHeld.
QList<Reply>& HeldQuestions() {
    static QList<Reply> held;
    return held;
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

QMessageBox* MessageBoxes::Ask(QWidget* parent, const MessageRequest& request, Answered answered) {
    MessageRequest asked = request;
    asked.question = true;
    const Reply reply(parent, std::move(answered));
    if (const auto& observer = CurrentObserver()) {
        observer(asked);
        if (const std::optional<bool> yes = CurrentAnswer()) {
            QTimer::singleShot(0, [reply, yes = *yes] { reply(yes); });
        } else {
            HeldQuestions().append(reply);
        }
        return nullptr;
    }
    QWidget* owner = parent && parent->isVisible() ? parent : nullptr;
    auto* box =
        new QMessageBox(request.icon, request.title, request.text, QMessageBox::NoButton, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* yes = box->addButton(QStringLiteral("Ya"), QMessageBox::YesRole);
    QPushButton* no = box->addButton(QStringLiteral("Tidak"), QMessageBox::NoRole);
    box->setDefaultButton(no);
    box->setEscapeButton(no);
    QObject::connect(box, &QDialog::finished, box,
                     [box, yes, reply] { reply(box->clickedButton() == yes); });
    box->open();
    return box;
}

void MessageBoxes::SetObserver(Observer observer) {
    CurrentObserver() = std::move(observer);
    CurrentAnswer() = false;
    HeldQuestions().clear();
}

void MessageBoxes::SetAnswer(bool yes) {
    CurrentAnswer() = yes;
}

void MessageBoxes::HoldAnswers() {
    CurrentAnswer().reset();
}

bool MessageBoxes::AnswerHeld(bool yes) {
    if (HeldQuestions().isEmpty()) {
        return false;
    }
    HeldQuestions().takeFirst()(yes);
    return true;
}

}  // namespace kalvera
