#include "pending_callbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/callbook_reader.h"
#include "core/callbook_record.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

WriteProblem ProblemOf(long error) {
#ifdef _WIN32
    constexpr long kDiskQuotaExceeded = 1295;  // ERROR_DISK_QUOTA_EXCEEDED; MinGW lacks it
    const bool full = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ||
                      error == kDiskQuotaExceeded;
#else
    const bool full = error == ENOSPC || error == EDQUOT;
#endif
    return full ? WriteProblem::DiskFull : WriteProblem::NotWritable;
}

QString SystemText(long error) {
#ifdef _WIN32
    return QStringLiteral("Windows error %1").arg(error);
#else
    return QString::fromLocal8Bit(std::strerror(static_cast<int>(error)));
#endif
}

#ifdef _WIN32
std::wstring Native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}
HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// A file a live download holds open cannot be deleted: its handle does not share deletion.
bool RemoveIfLeftover(const QString& path) {
    const std::wstring native = Native(path);
    const DWORD attributes = GetFileAttributesW(native.c_str());
    constexpr DWORD kNotAFile =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotAFile) == 0 &&
           DeleteFileW(native.c_str()) != 0;
}
#else
QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A live download holds its file locked; only a regular file nobody holds is removed, and only
// while its name still names the file that was locked.
bool RemoveIfLeftover(const QString& path) {
    const QByteArray native = Native(path);
    struct stat seen {};
    if (::lstat(native.constData(), &seen) != 0 || !S_ISREG(seen.st_mode)) {
        return false;
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat opened {};
    struct stat now {};
    const bool removed = ::fstat(fd, &opened) == 0 && SameFile(opened, seen) &&
                         ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                         ::lstat(native.constData(), &now) == 0 && SameFile(now, opened) &&
                         ::unlink(native.constData()) == 0;
    ::close(fd);
    return removed;
}
#endif

}  // namespace

PendingCallbook::PendingCallbook(QString callbookFile) : callbookFile_(std::move(callbookFile)) {}

PendingCallbook::~PendingCallbook() {
    Discard();
}

bool PendingCallbook::Open() {
    const QFileInfo callbook(callbookFile_);
    if (callbook.exists() && (!callbook.isFile() || !callbook.isWritable())) {
        problem_ = WriteProblem::NotWritable;
        error_ = QStringLiteral("%1 is not a writable file").arg(callbookFile_);
        return false;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        bool nameTaken = false;
        if (Create(callbookFile_ + QLatin1String(kPendingInfix) + RandomSuffix(), nameTaken)) {
            return true;
        }
        if (!nameTaken) {
            return false;
        }
    }
    problem_ = WriteProblem::NotWritable;
    error_ = QStringLiteral("no free name for a temporary file beside %1").arg(callbookFile_);
    return false;
}

bool PendingCallbook::Fail(const char* step, long systemError) {
    problem_ = ProblemOf(systemError);
    error_ = QStringLiteral("%1 of %2 failed: %3")
                 .arg(QLatin1String(step), fileName_, SystemText(systemError));
    return false;
}

#ifdef _WIN32

bool PendingCallbook::Create(const QString& name, bool& nameTaken) {
    fileName_ = name;
    const HANDLE file = CreateFileW(Native(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        nameTaken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        Fail("creating", static_cast<long>(error));
        fileName_.clear();
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool PendingCallbook::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 30));
        if (WriteFile(AsHandle(handle_), bytes.data(), size, &written, nullptr) == 0) {
            return Fail("writing", static_cast<long>(GetLastError()));
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool PendingCallbook::Install() {
    if (handle_ == -1) {
        return false;
    }
    if (FlushFileBuffers(AsHandle(handle_)) == 0) {
        Fail("syncing", static_cast<long>(GetLastError()));
        Discard();
        return false;
    }
    // A file held open cannot be renamed, so it is closed first; a cleanup in another copy of
    // the program could take it only in that instant, and then the rename fails and nothing
    // is replaced. Write-through: the rename is on disk when the call returns.
    Close();
    if (MoveFileExW(Native(fileName_).c_str(), Native(callbookFile_).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        Fail("renaming", static_cast<long>(GetLastError()));
        Discard();
        return false;
    }
    installed_ = true;
    return true;
}

void PendingCallbook::Discard() {
    if (installed_ || fileName_.isEmpty()) {
        return;
    }
    Close();
    DeleteFileW(Native(fileName_).c_str());
    fileName_.clear();
}

void PendingCallbook::Close() {
    if (handle_ != -1) {
        CloseHandle(AsHandle(handle_));
        handle_ = -1;
    }
}

#else

bool PendingCallbook::Create(const QString& name, bool& nameTaken) {
    fileName_ = name;
    const QByteArray native = Native(name);
    struct stat callbook {};
    const bool copyMode = ::stat(Native(callbookFile_).constData(), &callbook) == 0;
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        nameTaken = errno == EEXIST;
        Fail("creating", errno);
        fileName_.clear();
        return false;
    }
    // Another copy's cleanup may have found the file before it was locked; if it holds the
    // lock now, or took the name already, the file is lost to it and another name is tried.
    struct stat opened {};
    struct stat named {};
    if ((::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) ||
        ::fstat(fd, &opened) != 0 || ::stat(native.constData(), &named) != 0 ||
        !SameFile(opened, named)) {
        ::close(fd);
        fileName_.clear();
        nameTaken = true;
        return false;
    }
    handle_ = fd;
    if (copyMode) {
        ::fchmod(fd, callbook.st_mode & 07777);
    }
    return true;
}

bool PendingCallbook::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
        if (written < 0 && errno != EINTR) {
            return Fail("writing", errno);
        }
        bytes.remove_prefix(written < 0 ? 0 : static_cast<std::size_t>(written));
    }
    return true;
}

bool PendingCallbook::Install() {
    if (handle_ == -1) {
        return false;
    }
    // Renamed while still open and locked, so that no cleanup can take it in between.
    if (::fsync(static_cast<int>(handle_)) != 0) {
        Fail("syncing", errno);
        Discard();
        return false;
    }
    if (::rename(Native(fileName_).constData(), Native(callbookFile_).constData()) != 0) {
        Fail("renaming", errno);
        Discard();
        return false;
    }
    installed_ = true;
    Close();
    // The data is on disk already: a rename that a power cut undoes brings back the old,
    // whole callbook, never a torn one. Not being able to sync the folder is no failure.
    SyncFolder(QFileInfo(callbookFile_).absolutePath());
    return true;
}

void PendingCallbook::Discard() {
    if (installed_ || fileName_.isEmpty()) {
        return;
    }
    ::unlink(Native(fileName_).constData());
    Close();
    fileName_.clear();
}

void PendingCallbook::Close() {
    if (handle_ != -1) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

#endif

int RemoveLeftovers(const QString& callbookFile) {
    const QFileInfo callbook(callbookFile);
    const QString prefix = callbook.fileName() + QLatin1String(kPendingInfix);
    const QDir folder(callbook.absolutePath());
    int removed = 0;
    const QStringList names =
        folder.entryList({prefix + QLatin1Char('*')},
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (name.startsWith(prefix) && IsPendingSuffix(QStringView(name).mid(prefix.size()))) {
            removed += RemoveIfLeftover(folder.filePath(name)) ? 1 : 0;
        }
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
