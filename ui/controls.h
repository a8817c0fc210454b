#pragma once

#include <QColor>
#include <QHash>
#include <QListWidget>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <span>

class QLabel;

namespace kalvera {

// The kinds of control a form is built from. Each maps to one Qt widget class.
enum class ControlKind {
    Frame,             // QFrame with an etched border and its own background
    Button,            // QPushButton
    TextBox,           // QLineEdit, editable
    LockedTextBox,     // QLineEdit, read-only but focusable and selectable
    LockedMemo,        // QPlainTextEdit, read-only, wrapping, no scroll bars
    LockedScrollMemo,  // QPlainTextEdit, read-only, wrapping, vertical scroll bar only
    Label,             // QLabel sized to its caption, background not painted
    Picture,           // PictureControl: an image at its own size
    Shape,             // ShapeControl: a filled rectangle with a one-pixel border
    Line,              // LineControl: a horizontal rule, one pixel high
    ComboBox,          // QComboBox with an editable text field
    ListBox,           // ListBoxControl
};

struct FontDesign {
    const char* family = nullptr;  // nullptr: the window font
    double points = 0;
    bool bold = false;
};

inline constexpr int kDefaultColour = -1;

// One control of a form, as designed. Positions and sizes are twips relative to the container;
// colours are 0xRRGGBB or kDefaultColour. Controls of one container are listed front to back.
struct ControlDesign {
    const char* name = nullptr;
    ControlKind kind = ControlKind::Label;
    const char* container = nullptr;  // nullptr: the form itself
    const char* caption = "";         // caption, text, or picture resource
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;  // a Line's height is 0
    FontDesign font{};
    int foreground = kDefaultColour;  // text, or a line's colour
    int background = kDefaultColour;  // panel or box background, or a shape's fill
    bool visible = true;
    bool enabled = true;
    bool handCursor = false;
    int maxLength = 0;  // text boxes; 0: no limit
    const char* accessibleName = nullptr;
};

// Creates the controls of `designs` on `form` with their names as objectName, in the stacking
// order given; returns them by name. Controls without a pointer-move procedure keep pointer
// movement to themselves (as windows of their own do), shapes, lines and disabled pictures let
// it through to their container.
QHash<QString, QWidget*> BuildControls(QWidget* form, std::span<const ControlDesign> designs);

// Points are turned into pixels at 96 dots per inch, the scale twips use, so that text and
// geometry stay in proportion on any screen; high-DPI scaling applies to both alike.
QFont MakeFont(const QFont& base, const FontDesign& design);

QColor ColourFromRgb(int rgb);

void SetTextColour(QLabel* label, const QColor& colour);

// Text and background of the detail boxes, whichever widget class a box is. SetBoxText leaves
// a read-only box showing the start of its text, with the caret at position 0.
QString BoxText(const QWidget* box);
void SetBoxText(QWidget* box, const QString& text);
QColor BoxBackground(const QWidget* box);
void SetBoxBackground(QWidget* box, const QColor& colour);

class PictureControl : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const { return picture_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap picture_;
};

class ShapeControl : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
    void SetFillColour(const QColor& colour);
    QColor FillColour() const { return fill_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor fill_ = Qt::white;
};

class LineControl : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
    void SetLineColour(const QColor& colour);
    QColor LineColour() const { return colour_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor colour_ = Qt::black;
};

// A list box whose horizontal scroll range can be set wider than its rows, in pixels: the
// range then runs from 0 to the extent minus the visible width, whatever the rows hold.
class ListBoxControl : public QListWidget {
    Q_OBJECT
  public:
    explicit ListBoxControl(QWidget* parent = nullptr);
    void SetHorizontalExtent(int pixels);
    int HorizontalExtent() const { return extent_; }

  protected:
    void updateGeometries() override;

  private:
    void ApplyExtent();
    int extent_ = 0;
};

}  // namespace kalvera
