#include "pending_callbook.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/callbook_reader.h"
#include "core/callbook_record.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kalvera {
namespace {

constexpr int kSuffixLength = 6;
constexpr char kSuffixCharacters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kAttempts = 16;

QString RandomSuffix() {
    QString suffix;
    for (int i = 0; i < kSuffixLength; ++i) {
        const auto pick = QRandomGenerator::global()->bounded(
            static_cast<quint32>(sizeof(kSuffixCharacters) - 1));
        suffix += QLatin1Char(kSuffixCharacters[pick]);
    }
    return suffix;
}

bool IsPendingSuffix(QStringView suffix) {
    if (suffix.size() != kSuffixLength) {
        return false;
    }
    for (const QChar c : suffix) {
        if (!(c >= QLatin1Char('a') && c <= QLatin1Char('z')) &&
            !(c >= QLatin1Char('0') && c <= QLatin1Char('9'))) {
            return false;
        }
    }
    return true;
}

// Flushes what the system holds of the open file to the disk.
bool SyncFile(QFile& file) {
    if (!file.flush()) {
        return false;
    }
#ifdef _WIN32
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// Replaces `to` with `from` in one step.
bool RenameOver(const QString& from, const QString& to, QString& error) {
#ifdef _WIN32
    // Write-through: the rename is on disk when the call returns.
    const std::wstring source = QDir::toNativeSeparators(from).toStdWString();
    const std::wstring target = QDir::toNativeSeparators(to).toStdWString();
    if (MoveFileExW(source.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
        return true;
    }
    error = QStringLiteral("rename failed (Windows error %1)").arg(GetLastError());
    return false;
#else
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) {
        return true;
    }
    error = QStringLiteral("rename failed: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return false;
#endif
}

}  // namespace

PendingCallbook::PendingCallbook(QString callbookFile) : callbookFile_(std::move(callbookFile)) {}

PendingCallbook::~PendingCallbook() {
    Discard();
}

bool PendingCallbook::Open() {
    const QFileInfo callbook(callbookFile_);
    if (callbook.exists() && (!callbook.isFile() || !callbook.isWritable())) {
        error_ = QStringLiteral("%1 is not a writable file").arg(callbookFile_);
        return false;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        file_.setFileName(callbookFile_ + QLatin1String(kPendingInfix) + RandomSuffix());
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (callbook.exists()) {
                file_.setPermissions(callbook.permissions());
            }
            return true;
        }
        if (!QFileInfo::exists(file_.fileName())) {
            break;  // not a name taken by chance: the folder takes no new file
        }
    }
    error_ = file_.errorString();
    file_.setFileName(QString());
    return false;
}

bool PendingCallbook::Write(std::string_view bytes) {
    const auto size = static_cast<qint64>(bytes.size());
    if (file_.write(bytes.data(), size) == size) {
        return true;
    }
    error_ = file_.errorString();
    return false;
}

bool PendingCallbook::Install() {
    if (!file_.isOpen()) {
        return false;
    }
    if (!SyncFile(file_)) {
        error_ = file_.errorString();
        Discard();
        return false;
    }
    file_.close();
    if (file_.error() != QFileDevice::NoError ||
        !RenameOver(file_.fileName(), callbookFile_, error_)) {
        if (error_.isEmpty()) {
            error_ = file_.errorString();
        }
        Discard();
        return false;
    }
    installed_ = true;
    // The data is on disk already: a rename that a power cut undoes brings back the old,
    // whole callbook, never a torn one. Not being able to sync the folder is no failure.
    SyncFolder(QFileInfo(callbookFile_).absolutePath());
    return true;
}

void PendingCallbook::Discard() {
    if (installed_ || file_.fileName().isEmpty()) {
        return;
    }
    file_.close();
    QFile::remove(file_.fileName());
    file_.setFileName(QString());
}

int RemoveLeftovers(const QString& callbookFile, std::chrono::milliseconds age) {
    const QFileInfo callbook(callbookFile);
    const QString prefix = callbook.fileName() + QLatin1String(kPendingInfix);
    const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-age.count());
    int removed = 0;
    const QFileInfoList entries =
        QDir(callbook.absolutePath())
            .entryInfoList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (!entry.fileName().startsWith(prefix) ||
            !IsPendingSuffix(QStringView(entry.fileName()).mid(prefix.size())) ||
            entry.isSymLink() || entry.lastModified().toUTC() >= before) {
            continue;
        }
        removed += QFile::remove(entry.absoluteFilePath()) ? 1 : 0;
    }
    return removed;
}

std::uint64_t CountMembers(const QString& callbookFile) {
    std::uint64_t members = 0;
    ReadCallbook(std::filesystem::path(callbookFile.toStdU16String()), [&](std::string_view line) {
        members += IsMemberLine(line) ? 1 : 0;
        return false;
    });
    return members;
}

bool SyncFolder(const QString& folder) {
#ifdef _WIN32
    Q_UNUSED(folder);
    return true;
#else
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
#endif
}

}  // namespace kalvera
