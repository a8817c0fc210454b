#pragma once

#include <QWidget>

class QAction;
class QMenu;

namespace kalvera {

// The menu form: never shown, it only owns the pop-up menu that the main window opens under
// its "Menu" label. It knows nothing of the main window: its items emit signals, and the window
// that opens the menu connects them to what they do.
class Form2 : public QWidget {
    Q_OBJECT
  public:
    // A hidden window owned by `owner`.
    explicit Form2(QWidget* owner);

    // Opens mMenu at `globalPosition` (its top-left corner) and returns when an item has been
    // chosen and its signal handled, or the pop-up was dismissed. `onFirstItem`, for a menu
    // opened from the keyboard: it opens with its first item highlighted, as a menu bar does,
    // so that a screen reader tells where the focus went (and where it comes back to).
    void PopUp(const QPoint& globalPosition, bool onFirstItem = false);

    void mCallsign_Click();
    void mKode_Click();
    void mUnduh_Click();
    // Goes away once control is back in the event loop, so a pop-up still on the stack is safe.
    void Form_Unload();

    QMenu* mMenu = nullptr;
    QAction* mCallsign = nullptr;
    QAction* mKode = nullptr;
    QAction* mSekretariat = nullptr;
    QAction* sep1 = nullptr;
    QAction* mUnduh = nullptr;

  signals:
    // "Callsign": the lookup panel is to be shown.
    void LookupPanelChosen();
    // "Kode Etik": the code-of-ethics panel is to be shown.
    void CodeOfEthicsPanelChosen();
    // "Unduh Database": the callbook is to be downloaded.
    void DownloadChosen();
};

}  // namespace kalvera
