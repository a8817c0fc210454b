#include "accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QString>
#include <QWidget>

namespace kalvera {
namespace {

constexpr char kOneObjectProperty[] = "kalveraOneObject";

// A widget without children, as screen readers see it.
class OneObject : public QAccessibleWidget {
  public:
    using QAccessibleWidget::QAccessibleWidget;
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
};

#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
// A one-line text box as Qt's own interface tells it, but for the runs of its text attributes:
// Qt 6.4 answers a run of no characters (offset, offset), where there is one run over the whole
// text, and Orca cuts the text it speaks at those runs and so drops the last character
// ("INVALI selected" for INVALID). Qt does not export its interface class, so the mend is a
// whole interface, made as Qt's own is, and only for Qt 6.4, the Qt the program is built with:
// on a later Qt, the screen-reader test (tests/ui/screen_reader_test.py) tells whether Qt
// still needs it.
class LineEditText : public QAccessibleWidget,
                     public QAccessibleTextInterface,
                     public QAccessibleEditableTextInterface {
  public:
    explicit LineEditText(QLineEdit* box) : QAccessibleWidget(box, QAccessible::EditableText) {}

    QLineEdit* Box() const { return static_cast<QLineEdit*>(widget()); }

    // The text a screen reader may speak: none of a password's.
    QString Shown() const {
        return Box()->echoMode() == QLineEdit::Normal ? Box()->text() : QString();
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        if (type == QAccessible::EditableTextInterface) {
            return static_cast<QAccessibleEditableTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? Shown() : QAccessibleWidget::text(kind);
    }
    void setText(QAccessible::Text kind, const QString& text) override {
        if (kind == QAccessible::Value && !Box()->isReadOnly()) {
            Box()->setText(text);
        } else {
            QAccessibleWidget::setText(kind, text);
        }
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = Box()->isReadOnly();
        state.editable = !Box()->isReadOnly();
        state.passwordEdit = Box()->echoMode() != QLineEdit::Normal;
        state.selectableText = true;
        return state;
    }

    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && Box()->hasSelectedText()) {
            *start = Box()->selectionStart();
            *end = Box()->selectionEnd();
        }
    }
    int selectionCount() const override { return Box()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index == 0) {
            Box()->deselect();
        }
    }
    void setSelection(int index, int start, int end) override {
        if (index == 0) {
            Box()->setSelection(start, end - start);
        }
    }
    int cursorPosition() const override { return Box()->cursorPosition(); }
    void setCursorPosition(int position) override { Box()->setCursorPosition(position); }
    QString text(int start, int end) const override { return Shown().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(Shown().size()); }

    // Where the character at `offset` stands on the screen, so that a magnifier can follow the
    // caret: the caret's rectangle (whose middle is the caret), moved by the width of the text
    // between the caret and the character, and as wide as the character. A character of two
    // code units has the same rectangle at both.
    QRect characterRect(int offset) const override {
        const QString shown = Shown();
        if (offset < 0 || offset >= shown.size()) {
            return QRect();
        }
        const qsizetype first = shown[offset].isLowSurrogate() && offset > 0 ? offset - 1 : offset;
        const qsizetype end =
            shown[first].isHighSurrogate() && first + 1 < shown.size() ? first + 2 : first + 1;
        const QFontMetrics metrics = Box()->fontMetrics();
        const auto widthTo = [&](qsizetype position) {
            return metrics.horizontalAdvance(shown.left(position));
        };
        const QRect caret = Box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int textLeft = caret.left() + caret.width() / 2 - widthTo(Box()->cursorPosition());
        const QPoint topLeft(textLeft + widthTo(first), caret.top());
        return QRect(Box()->mapToGlobal(topLeft),
                     QSize(widthTo(end) - widthTo(first), caret.height()));
    }
    int offsetAtPoint(const QPoint& point) const override {
        return Box()->cursorPositionAt(Box()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override {
        Box()->setCursorPosition(end);
        Box()->setCursorPosition(start);
    }
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return QString();
    }

    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        if (!Box()->isReadOnly()) {
            Box()->setText(Box()->text().replace(start, end - start, text));
        }
    }
};
#endif

// Carries what Announce says: a notification that is shown anew for each text.
class Announcer : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
};

QAccessible::Role RoleOf(const QWidget* widget) {
    if (qobject_cast<const QComboBox*>(widget)) {
        return QAccessible::ComboBox;
    }
    if (qobject_cast<const QAbstractItemView*>(widget)) {
        return QAccessible::List;
    }
    return QAccessible::Client;
}

// Asked for each class of an object, most derived first, before Qt's own factories.
QAccessibleInterface* RoleFactory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (widget->property(kOneObjectProperty).toBool()) {
        return new OneObject(widget, RoleOf(widget));
    }
    if (className == QLatin1String(Announcer::staticMetaObject.className())) {
        return new QAccessibleWidget(widget, QAccessible::Notification);
    }
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
    if (className == QLatin1String("QLineEdit")) {
        return new LineEditText(static_cast<QLineEdit*>(widget));
    }
#endif
    if (className == QLatin1String("QFrame")) {
        return new QAccessibleWidget(widget, QAccessible::Pane);
    }
    if (className == QLatin1String("QWidget") && widget->isWindow()) {
        return new QAccessibleWidget(widget, QAccessible::Window);
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleRoles() {
    QAccessible::installFactory(RoleFactory);  // a second install changes nothing
}

void ShowAsOneObject(QWidget* widget) {
    widget->setProperty(kOneObjectProperty, true);
    // Qt makes an object's interface at its first event, often while the widget is being built,
    // and keeps it: dropped here, the next query makes it anew through RoleFactory.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget);
        made && !dynamic_cast<OneObject*>(made)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

// Qt 6.8 has the designed way to say this, QAccessibleAnnouncementEvent; Qt 6.4 lacks it, and
// a changed name or description reaches AT-SPI without its new text, which Orca cannot speak.
// Until then the text goes two ways. On AT-SPI it is the name of a notification object that is
// hidden and shown again: screen readers speak a notification as it appears. On Windows, where
// Qt tells UI Automation nothing of an object being shown, it is a change of that object's value
// to the text, which Qt raises as a UI Automation notification event (from Windows 10 1709 on;
// before, as a change of the value property). The object is an empty widget of no size, so the
// window looks the same.
void Announce(QWidget* window, const QString& text) {
    auto* announcer = window->findChild<Announcer*>(QString(), Qt::FindDirectChildrenOnly);
    if (!announcer) {
        announcer = new Announcer(window);
        announcer->setObjectName(QStringLiteral("announcer"));
        announcer->setAttribute(Qt::WA_TransparentForMouseEvents);
        announcer->setGeometry(0, 0, 0, 0);
    }
    announcer->hide();
    announcer->setAccessibleName(text);
    announcer->show();
    QAccessibleValueChangeEvent said(announcer, text);
    QAccessible::updateAccessibility(&said);
}

}  // namespace kalvera

#include "accessibility.moc"
