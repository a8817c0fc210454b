#pragma once

class QString;
class QWidget;

namespace kalvera {

// What screen readers are told about the windows, beyond what Qt tells them by itself.

// Installs the roles screen readers need; call it once a QApplication exists and before the
// first window is made. A plain top-level widget becomes a Window, named by its caption (Qt
// calls it a client area, which AT-SPI reads as "filler", so no "window" is ever active), and
// a plain QFrame a Pane (Qt calls it a Border, which AT-SPI reads as "frame", a window role:
// a screen reader then takes the panel for the window of whatever has the focus in it).
void InstallAccessibleRoles();

// `widget` stays one object for screen readers, its items and inner parts left out. For the
// controls that are never shown, whose thousands of items would each be an object.
void ShowAsOneObject(QWidget* widget);

// Has screen readers speak `text` now, whatever holds the focus; `window` is the window it
// belongs to. Each call is spoken, the same text twice included.
void Announce(QWidget* window, const QString& text);

}  // namespace kalvera
