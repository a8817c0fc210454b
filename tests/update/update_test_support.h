#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace kalvera::testing {

// What the program folder holds before a download, and what the chapter publishes.
inline const QByteArray kOldCallbook =
    "versi: 2020-01-01 08:00\r\n"
    "QV27OLD#Lama#Jl. Lama 1#Kab. Lama#0001#2099-12-31#baru\r\n";
inline const QByteArray kFreshCallbook =
    "versi: 2025-06-01 10:00\r\n"
    "QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan\r\n"
    "QV27XYZ#Sari#Jl. Mawar 2#Kota Contoh#0413#2025-12-31#baru\r\n";

// A version line and `members` member lines QV27A0000, QV27A0001, ...
inline QByteArray CallbookOfMembers(int members) {
    QByteArray text = "versi: 2025-08-01 09:00\r\n";
    for (int i = 0; i < members; ++i) {
        text += "QV27A" + QByteArray::number(i).rightJustified(4, '0') +
                "#Anggota#Jl. Panjang 1#Kab. Contoh#0001#2030-12-31#baru\r\n";
    }
    return text;
}

// Writes `bytes` to `path`, or ends the test run: a test must never go on over a file it
// believes it wrote.
inline void WriteOrDie(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(file.errorString()));
    }
}

// The bytes of the file at `path`, or "<missing>".
inline QByteArray BytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Everything in `folder`, hidden files included, so that a temporary file left behind shows.
inline QStringList EntriesOf(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A program folder of its own, holding the old callbook, or `callbook` when given.
struct CallbookFolder : QTemporaryDir {
    explicit CallbookFolder(const QByteArray& callbook = kOldCallbook) {
        WriteOrDie(Callbook(), callbook);
    }
    QString Callbook() const { return filePath(QStringLiteral("log.txt")); }
};

}  // namespace kalvera::testing
