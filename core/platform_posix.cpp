#include "platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace kalvera::platform {
namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void AssignErrno(std::error_code& error) {
    error.assign(errno, std::generic_category());
}

}  // namespace

ReadableFile::ReadableFile(const std::filesystem::path& file, std::error_code& error) {
    int descriptor = -1;
    do {
        descriptor = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    handle_ = descriptor;
    if (descriptor < 0) {
        error.assign(errno, std::generic_category());
        return;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

ReadableFile::~ReadableFile() {
    if (IsOpen()) {
        close(static_cast<int>(handle_));
    }
}

bool ReadableFile::IsOpen() const {
    return handle_ >= 0;
}

std::size_t ReadableFile::Read(char* buffer, std::size_t size, std::error_code& error) {
    for (;;) {
        const ssize_t got = read(static_cast<int>(handle_), buffer, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            error.assign(errno, std::generic_category());
            return 0;
        }
    }
}

bool ReadableFile::Rewind(std::error_code& error) {
    if (lseek(static_cast<int>(handle_), 0, SEEK_SET) < 0) {
        error.assign(errno, std::generic_category());
        return false;
    }
    return true;
}

HeldFile::HeldFile(std::filesystem::path target) : target_(std::move(target)) {}

HeldFile::~HeldFile() {
    Close();
}

HeldFile::Creation HeldFile::Create(const std::filesystem::path& file, std::error_code& error) {
    struct stat target {};
    const bool copyMode = ::stat(target_.c_str(), &target) == 0;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        AssignErrno(error);
        return error == std::errc::file_exists ? Creation::NameTaken : Creation::Failed;
    }
    // Another copy's cleanup may have found the file before it was locked; if it holds the
    // lock now, or took the name already, the file is lost to it and another name is tried.
    struct stat opened {};
    struct stat named {};
    if ((::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) ||
        ::fstat(fd, &opened) != 0 || ::stat(file.c_str(), &named) != 0 ||
        !SameFile(opened, named)) {
        ::close(fd);
        error = std::make_error_code(std::errc::file_exists);
        return Creation::NameTaken;
    }
    handle_ = fd;
    file_ = file;
    if (copyMode) {
        ::fchmod(fd, target.st_mode & 07777);
    }
    return Creation::Created;
}

bool HeldFile::Write(std::string_view bytes, std::error_code& error) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
        if (written < 0 && errno != EINTR) {
            AssignErrno(error);
            return false;
        }
        bytes.remove_prefix(written < 0 ? 0 : static_cast<std::size_t>(written));
    }
    return true;
}

bool HeldFile::Sync(std::error_code& error) {
    if (::fsync(static_cast<int>(handle_)) != 0) {
        AssignErrno(error);
        return false;
    }
    return true;
}

bool HeldFile::Replace(std::error_code& error) {
    // Renamed while still open and locked, so that no cleanup can take it in between.
    if (::rename(file_.c_str(), target_.c_str()) != 0) {
        AssignErrno(error);
        return false;
    }
    file_.clear();
    Close();
    // The data is on disk already: a rename that a power cut undoes brings back the old,
    // whole target, never a torn one. Not being able to sync the folder is no failure.
    std::error_code ignored;
    SyncFolder(std::filesystem::absolute(target_, ignored).parent_path());
    return true;
}

void HeldFile::Remove() {
    if (file_.empty()) {
        return;
    }
    ::unlink(file_.c_str());
    Close();
    file_.clear();
}

void HeldFile::Close() {
    if (handle_ != -1) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

// A live download holds its file locked; only a regular file nobody holds is removed, and only
// while its name still names the file that was locked.
bool RemoveIfUnheld(const std::filesystem::path& file) {
    struct stat seen {};
    if (::lstat(file.c_str(), &seen) != 0 || !S_ISREG(seen.st_mode)) {
        return false;
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat opened {};
    struct stat now {};
    const bool removed = ::fstat(fd, &opened) == 0 && SameFile(opened, seen) &&
                         ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(file.c_str(), &now) == 0 &&
                         SameFile(now, opened) && ::unlink(file.c_str()) == 0;
    ::close(fd);
    return removed;
}

bool SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool IsDiskFull(const std::error_code& error) {
    return error.category() == std::generic_category() &&
           (error.value() == ENOSPC || error.value() == EDQUOT);
}

std::string ErrorText(const std::error_code& error) {
    return error.message();
}

bool IsHiddenOrSystem(const std::filesystem::path&) {
    return false;
}

std::tm LocalTime(std::time_t instant) {
    std::tm local{};
    localtime_r(&instant, &local);
    return local;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void UseBinaryStandardStreams() {}

bool IsConsole(std::FILE*) {
    return false;
}

bool IsClosedPipe(int error) {
    return error == EPIPE;
}

}  // namespace kalvera::platform
