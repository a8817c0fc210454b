#include "accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
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
// Until then the text is the name of a notification object that is hidden and shown again:
// screen readers speak a notification as it appears. It is an empty widget of no size, so the
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
}

}  // namespace kalvera

#include "accessibility.moc"
