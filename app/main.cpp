#include <QApplication>

#include "kalvera/version.h"
#include "ui/form1.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // No display name: Qt would append it to every window and message box title.
    QApplication::setApplicationName(QStringLiteral("Kalvera"));
    QApplication::setApplicationVersion(QStringLiteral(KALVERA_APPLICATION_VERSION));

    kalvera::Form1 window;
    window.show();
    return QApplication::exec();
}
