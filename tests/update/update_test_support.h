#pragma once

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

namespace kalvera::testing {

// What the program folder holds before a download.
inline const QByteArray kOldCallbook =
    "versi: 2020-01-01 08:00\r\n"
    "QV27OLD#Lama#Jl. Lama 1#Kab. Lama#0001#2099-12-31#baru\r\n";

// A program folder of its own, holding the old callbook.
class OldCallbookFolder {
  public:
    OldCallbookFolder() {
        QFile file(CallbookPath());
        if (file.open(QIODevice::WriteOnly)) {
            file.write(kOldCallbook);
        }
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

// A port of 127.0.0.1 that was free a moment ago and that nobody listens on now.
inline QString UnusedPortUrl() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1/1028/log.txt").arg(port);
}

}  // namespace kalvera::testing
