#include "controls.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>

#include "twips.h"

namespace kalvera {
namespace {

// Points at 96 dots per inch: 8.25 points are 11 pixels, as on the screens the design was made for.
constexpr double kPixelsPerPoint = 96.0 / 72.0;

QWidget* Create(const ControlDesign& design, QWidget* container) {
    switch (design.kind) {
        case ControlKind::Frame: {
            auto* frame = new QFrame(container);
            frame->setFrameShape(QFrame::Box);
            frame->setFrameShadow(QFrame::Sunken);
            return frame;
        }
        case ControlKind::Button:
            return new QPushButton(QString::fromUtf8(design.caption), container);
        case ControlKind::TextBox:
        case ControlKind::LockedTextBox: {
            auto* box = new QLineEdit(container);
            if (design.maxLength > 0) {
                box->setMaxLength(design.maxLength);
            }
            box->setText(QString::fromUtf8(design.caption));
            box->setReadOnly(design.kind == ControlKind::LockedTextBox);
            return box;
        }
        case ControlKind::LockedMemo:
        case ControlKind::LockedScrollMemo: {
            auto* memo = new QPlainTextEdit(container);
            memo->setReadOnly(true);
            // Read-only text stays selectable by keyboard as well as by mouse, so that it can
            // be copied without a pointer.
            memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
            memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            memo->setVerticalScrollBarPolicy(design.kind == ControlKind::LockedScrollMemo
                                                 ? Qt::ScrollBarAlwaysOn
                                                 : Qt::ScrollBarAlwaysOff);
            memo->setTabChangesFocus(true);
            if (design.kind == ControlKind::LockedMemo) {
                // The same inner margin as the one-line boxes beside it.
                memo->document()->setDocumentMargin(2);
            }
            memo->setPlainText(QString::fromUtf8(design.caption));
            return memo;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(container);
            label->setTextFormat(Qt::PlainText);
            return label;
        }
        case ControlKind::Picture: {
            auto* picture = new PictureControl(container);
            picture->SetPicture(QPixmap(QString::fromUtf8(design.caption)));
            return picture;
        }
        case ControlKind::Shape:
            return new ShapeControl(container);
        case ControlKind::Line:
            return new LineControl(container);
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(container);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            return combo;
        }
        case ControlKind::ListBox:
            return new ListBoxControl(container);
    }
    return nullptr;
}

void ApplyColours(QWidget* widget, const ControlDesign& design) {
    QPalette palette = widget->palette();
    if (design.foreground != kDefaultColour) {
        const QColor colour = ColourFromRgb(design.foreground);
        palette.setColor(QPalette::WindowText, colour);
        palette.setColor(QPalette::Text, colour);
        palette.setColor(QPalette::ButtonText, colour);
    }
    if (design.background != kDefaultColour) {
        const QColor colour = ColourFromRgb(design.background);
        palette.setColor(QPalette::Window, colour);
        palette.setColor(QPalette::Base, colour);
    }
    widget->setPalette(palette);
    if (auto* line = qobject_cast<LineControl*>(widget);
        line && design.foreground != kDefaultColour) {
        line->SetLineColour(ColourFromRgb(design.foreground));
    }
    if (auto* shape = qobject_cast<ShapeControl*>(widget);
        shape && design.background != kDefaultColour) {
        shape->SetFillColour(ColourFromRgb(design.background));
    }
    if (design.kind == ControlKind::Frame) {
        widget->setAutoFillBackground(true);
    }
}

void ApplyGeometry(QWidget* widget, const ControlDesign& design) {
    SetGeometryTwips(widget, {design.left, design.top, design.width, design.height});
    if (design.kind == ControlKind::Line) {
        widget->resize(widget->width(), 1);
    } else if (auto* picture = qobject_cast<PictureControl*>(widget);
               picture && !picture->Picture().isNull()) {
        // Shown at its own size, never stretched.
        const QSize size = picture->Picture().deviceIndependentSize().toSize();
        SetGeometryTwips(widget, {design.left, design.top, size.width() * kTwipsPerPixel,
                                  size.height() * kTwipsPerPixel});
    }
}

void ApplyPointerHandling(QWidget* widget, const ControlDesign& design) {
    const bool transparent = design.kind == ControlKind::Shape ||
                             design.kind == ControlKind::Line ||
                             (design.kind == ControlKind::Picture && !design.enabled);
    if (transparent) {
        widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    } else if (design.kind != ControlKind::Frame) {
        widget->setAttribute(Qt::WA_NoMousePropagation);
    }
    if (design.handCursor) {
        widget->setCursor(Qt::PointingHandCursor);
    }
}

}  // namespace

QHash<QString, QWidget*> BuildControls(QWidget* form, std::span<const ControlDesign> designs) {
    QHash<QString, QWidget*> controls;
    for (const ControlDesign& design : designs) {
        QWidget* container =
            design.container ? controls.value(QString::fromUtf8(design.container)) : form;
        Q_ASSERT(container);
        QWidget* widget = Create(design, container);
        const QString name = QString::fromUtf8(design.name);
        widget->setObjectName(name);
        // Listed front to back: each new control goes behind those already made.
        widget->lower();
        if (design.font.family) {
            widget->setFont(MakeFont(widget->font(), design.font));
        }
        ApplyColours(widget, design);
        ApplyPointerHandling(widget, design);
        if (design.accessibleName) {
            widget->setAccessibleName(QString::fromUtf8(design.accessibleName));
        }
        if (!design.enabled) {
            widget->setEnabled(false);
        }
        if (design.kind == ControlKind::Frame || design.kind == ControlKind::Picture ||
            design.kind == ControlKind::Shape || design.kind == ControlKind::Line) {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        ApplyGeometry(widget, design);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            SetCaption(label, QString::fromUtf8(design.caption));
        }
        widget->setVisible(design.visible);
        controls.insert(name, widget);
    }
    return controls;
}

QFont MakeFont(const QFont& base, const FontDesign& design) {
    QFont font = base;
    font.setFamilies({QString::fromUtf8(design.family)});
    font.setPixelSize(qRound(design.points * kPixelsPerPoint));
    font.setBold(design.bold);
    return font;
}

QColor ColourFromRgb(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QString BoxText(const QWidget* box) {
    if (const auto* line = qobject_cast<const QLineEdit*>(box)) {
        return line->text();
    }
    if (const auto* memo = qobject_cast<const QPlainTextEdit*>(box)) {
        return memo->toPlainText();
    }
    return {};
}

void SetBoxText(QWidget* box, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->setText(text);
        // setText leaves the caret after the last character, and a box scrolls to its caret: a
        // value longer than the box would show its end. A member reads a box from its start.
        if (line->isReadOnly()) {
            line->setCursorPosition(0);
        }
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(box)) {
        memo->setPlainText(text);
    }
}

void SetTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QColor BoxBackground(const QWidget* box) {
    return box->palette().color(QPalette::Base);
}

void SetBoxBackground(QWidget* box, const QColor& colour) {
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, colour);
    box->setPalette(palette);
}

void PictureControl::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void PictureControl::paintEvent(QPaintEvent*) {
    // Drawn as it is even while disabled: a disabled picture only ignores the pointer.
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
}

void ShapeControl::SetFillColour(const QColor& colour) {
    fill_ = colour;
    update();
}

void ShapeControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), fill_);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void LineControl::SetLineColour(const QColor& colour) {
    colour_ = colour;
    update();
}

void LineControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colour_);
}

ListBoxControl::ListBoxControl(QWidget* parent) : QListWidget(parent) {
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void ListBoxControl::SetHorizontalExtent(int pixels) {
    extent_ = pixels;
    ApplyExtent();
}

void ListBoxControl::updateGeometries() {
    QListWidget::updateGeometries();
    ApplyExtent();
}

void ListBoxControl::ApplyExtent() {
    const int visible = viewport()->width();
    const int maximum = std::max(0, extent_ - visible);
    if (maximum > horizontalScrollBar()->maximum()) {
        horizontalScrollBar()->setPageStep(visible);
        horizontalScrollBar()->setRange(0, maximum);
    }
}

}  // namespace kalvera
