#pragma once

#include <QPointer>
#include <QWidget>

class QAction;
class QMenu;

namespace kalvera {

class Form1;

// The menu form: never shown, it only owns the pop-up menu that the main window opens under
// its "Menu" label. Its items act on the main window it was made for.
class Form2 : public QWidget {
    Q_OBJECT
  public:
    // A hidden window owned by `mainWindow`.
    explicit Form2(Form1& mainWindow);

    // Stores the owner reference, replacing the previous one.
    void SetOBJ(QObject* owner);
    QObject* Owner() const { return owner_; }

    // Opens mMenu at `globalPosition` (its top-left corner) and returns when an item has been
    // chosen and run, or the pop-up was dismissed.
    void PopUp(const QPoint& globalPosition);

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

  private:
    Form1& main_;
    QPointer<QObject> owner_;
};

}  // namespace kalvera
