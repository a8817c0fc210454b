// Fetching the chapter's current callbook over the local one, with the download panel.

#include <QFrame>
#include <QLabel>
#include <QUrl>

#include "form1.h"
#include "message_box.h"
#include "queries/messages.h"
#include "twips.h"
#include "window_texts.h"

namespace kalvera {
namespace {

constexpr int kDownloadPanelTop = 2745;

}  // namespace

bool Form1::DownloadFile(const QString& sSourceUrl, const QString& sLocalFile) {
    lastDownload_ = updater_.Download(QUrl(sSourceUrl), sLocalFile).Outcome();
    return lastDownload_ == DownloadOutcome::Installed;
}

void Form1::UNDUH_DB() {
    // The transfer waits in a local event loop, so the menu can be used meanwhile; a second
    // download is not started.
    if (updater_.IsBusy()) {
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
    // Painted now, so the panel is seen even if the transfer gives the loop little to do.
    panel->repaint();

    const bool installed = DownloadFile(sourceUrl_, CallbookFile());
    if (lastDownload_ == DownloadOutcome::Cancelled) {
        return;  // the window is closing
    }
    SetCaption(progress, QString::fromUtf8(kDownloadDoneCaption));
    panel->setVisible(false);
    if (!installed) {
        MessageBoxes::Show(
            this, {QString::fromUtf8(kDownloadFailedMessage),
                   QString::fromUtf8(kMissingCallbookTitle.data(), kMissingCallbookTitle.size()),
                   QMessageBox::Warning});
    }
    ShowDatabaseVersion();
}

}  // namespace kalvera
