// Fetching the chapter's current callbook over the local one, with the download panel.

#include <QFrame>
#include <QLabel>
#include <QStringList>
#include <QUrl>

#include "core/callbook_path.h"
#include "form1.h"
#include "message_box.h"
#include "queries/callbook_overview.h"
#include "queries/messages.h"
#include "twips.h"
#include "window_texts.h"

namespace kalvera {
namespace {

constexpr int kDownloadPanelTop = 2745;

QString Title() {
    return QString::fromUtf8(kMissingCallbookTitle.data(),
                             static_cast<qsizetype>(kMissingCallbookTitle.size()));
}

}  // namespace

void Form1::ConnectUpdater() {
    connect(&updater_, &CallbookUpdater::finished, this,
            [this](const DownloadResult& result) { DownloadEnded(result); });
    connect(&updater_, &CallbookUpdater::confirmationNeeded, this,
            [this](const ShrinkQuestion& question) { AskShrink(question); });
}

bool Form1::DownloadFile(const QString& sSourceUrl, const QString& sLocalFile) {
    return updater_.Start(QUrl(sSourceUrl), sLocalFile);
}

void Form1::UNDUH_DB() {
    // The transfer runs on the event loop, so the menu can be used meanwhile; a second
    // download is not started.
    if (updater_.IsBusy() || unloaded_) {
        return;
    }
    QFrame* panel = controls_.Frame3;
    QLabel* progress = controls_.Label4;
    const TwipsRect lookupPanel = GeometryTwips(controls_.Frame1);
    panel->setVisible(true);
    SetWidthTwips(panel, lookupPanel.width);
    SetLeftTwips(panel, lookupPanel.left);
    SetTopTwips(panel, kDownloadPanelTop);
    SetCaption(progress, QString::fromUtf8(kDownloadingCaption));
    SetLeftTwips(progress, CentredLeft(GeometryTwips(panel).width, GeometryTwips(progress).width));
    DownloadFile(sourceUrl_, CallbookFile());
}

// The window goes on working while the member decides; the answer goes to the updater.
void Form1::AskShrink(const ShrinkQuestion& question) {
    const QString text =
        QString::fromUtf8(kShrinkQuestion).arg(question.newMembers).arg(question.installedMembers);
    question_ = MessageBoxes::Ask(this, {text, Title(), QMessageBox::Question},
                                  [this](bool yes) { updater_.Answer(yes); });
}

void Form1::WithdrawQuestion() {
    if (question_) {
        question_->close();  // its answer finds no question standing
    }
}

// The rest of UNDUH_DB, once the transfer has ended.
void Form1::DownloadEnded(const DownloadResult& result) {
    WithdrawQuestion();
    const DownloadOutcome outcome = result.Outcome();
    if (outcome == DownloadOutcome::Cancelled) {
        emit downloadEnded(outcome);  // the window is closing: nothing more to show
        return;
    }
    SetCaption(controls_.Label4, QString::fromUtf8(kDownloadDoneCaption));
    controls_.Frame3->setVisible(false);
    if (outcome == DownloadOutcome::Failed) {
        QStringList lines{QString::fromUtf8(kDownloadFailedLine), DownloadFailureReason(result)};
        // Only a callbook goes on being used: not on a first download, nor after start-up
        // found log.txt damaged.
        if (HoldsMemberLine(CallbookPath(programFolder_))) {
            lines << QString::fromUtf8(kOldCallbookKeptLine);
        }
        MessageBoxes::Show(this, {lines.join(QLatin1Char('\n')), Title(), QMessageBox::Warning});
    }
    ShowDatabaseVersion();
    emit downloadEnded(outcome);
}

}  // namespace kalvera
