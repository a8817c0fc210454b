#include <QApplication>

#include "form1.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // No display name: Qt would append it to every window and message box title.
    QApplication::setApplicationName(QStringLiteral("Kalvera"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));

    kalvera::Form1 window;
    window.show();
    return QApplication::exec();
}
