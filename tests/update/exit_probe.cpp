// Starts "Unduh Database" in a real window against the chapter's own address, closes the
// window once the transfer has run for a while without an end, and returns from main: the
// process must end at once, whatever the transfer was waiting for (exit_while_resolving_test.sh
// makes the name lookup hang). Prints "closing" just before the window closes, and
// "ended: <outcome>" if the download ended by itself first.
//
//   kalvera_exit_probe PROGRAM-FOLDER MILLISECONDS

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "form1.h"
#include "message_box.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kalvera_exit_probe PROGRAM-FOLDER MILLISECONDS\n");
        return 64;
    }
    kalvera::MessageBoxes::SetObserver([](const kalvera::MessageRequest& box) {
        std::printf("box: %s\n", qPrintable(box.text));
        std::fflush(stdout);
    });
    kalvera::Form1 window(QString::fromLocal8Bit(argv[1]));
    QObject::connect(&window, &kalvera::Form1::downloadEnded, [](kalvera::DownloadOutcome outcome) {
        std::printf("ended: %d\n", static_cast<int>(outcome));
        std::fflush(stdout);
    });
    window.show();
    window.UNDUH_DB();
    QTimer::singleShot(std::atoi(argv[2]), &window, [&window] {
        std::printf("closing\n");
        std::fflush(stdout);
        window.close();
    });
    return QApplication::exec();
}
