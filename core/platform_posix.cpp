#include "platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace kalvera::platform {

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
