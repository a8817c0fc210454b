#pragma once

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <ostream>

#include "update/callbook_updater.h"

// GoogleTest shows a QString (and so a list of file names) as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace kalvera::testing {

// What the program folder holds before a download.
inline const QByteArray kOldCallbook =
    "versi: 2020-01-01 08:00\r\n"
    "QV27OLD#Lama#Jl. Lama 1#Kab. Lama#0001#2099-12-31#baru\r\n";

// Writes `bytes` to `path`, or ends the test run: a test must never go on over a file it
// believes it wrote.
inline void WriteOrDie(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        std::abort();
    }
}

// A program folder of its own, holding the old callbook, or `callbook` when given.
class OldCallbookFolder {
  public:
    explicit OldCallbookFolder(const QByteArray& callbook = kOldCallbook) {
        if (!folder_.isValid()) {
            std::fprintf(stderr, "no temporary folder: %s\n", qPrintable(folder_.errorString()));
            std::abort();
        }
        WriteOrDie(CallbookPath(), callbook);
    }

    QString Path() const { return folder_.path(); }
    QString CallbookPath() const { return folder_.filePath(QStringLiteral("log.txt")); }

    QByteArray CallbookBytes() const {
        QFile file(CallbookPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // Hidden files included, so that a temporary file left behind shows.
    QStringList Entries() const {
        return QDir(Path()).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

  private:
    QTemporaryDir folder_;
};

// A program folder whose log.txt cannot be replaced, as in Program Files or on a read-only
// share, or an empty string when this run cannot make one. On Linux it comes from the test's
// wrapper (tests/support/program_folder.sh): root may write anywhere, so there a read-only
// bind mount makes it. On Windows log.txt is marked read-only, as attrib +r does.
inline QString ReadOnlyProgramFolder(const OldCallbookFolder& spare) {
    if (const char* given = std::getenv("KALVERA_READ_ONLY_FOLDER"); given && *given) {
        return QString::fromLocal8Bit(given);
    }
#ifdef _WIN32
    QFile::setPermissions(spare.CallbookPath(), QFileDevice::ReadOwner | QFileDevice::ReadUser |
                                                    QFileDevice::ReadGroup |
                                                    QFileDevice::ReadOther);
    return QFileInfo(spare.CallbookPath()).isWritable() ? QString() : spare.Path();
#else
    (void)spare;
    return {};
#endif
}

// Starts a download and waits for its end on a local event loop, `bound` at most: nullopt
// when it did not start or did not end in time.
inline std::optional<DownloadResult> RunDownload(
    CallbookUpdater& updater, const QUrl& source, const QString& file,
    std::chrono::milliseconds bound = std::chrono::seconds(60)) {
    std::optional<DownloadResult> result;
    QEventLoop loop;
    const auto connection = QObject::connect(&updater, &CallbookUpdater::finished, &loop,
                                             [&](const DownloadResult& ended) {
                                                 result = ended;
                                                 loop.quit();
                                             });
    QTimer::singleShot(bound, &loop, &QEventLoop::quit);
    if (updater.Start(source, file)) {
        loop.exec();
    }
    QObject::disconnect(connection);
    return result;
}

// A port of 127.0.0.1 that was free a moment ago and that nobody listens on now.
inline QString UnusedPortUrl() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1/1028/log.txt").arg(port);
}

}  // namespace kalvera::testing
