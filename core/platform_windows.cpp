// windows.h first: shellapi.h relies on its types and macros.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform.h"

namespace kalvera::platform {
namespace {

constexpr std::size_t kConsoleBufferBytes = 64 * 1024;

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

void AssignLastError(std::error_code& error) {
    error.assign(static_cast<int>(GetLastError()), std::system_category());
}

std::string ToUtf8(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return {};
    }
    std::string out(static_cast<std::size_t>(length - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), length, nullptr, nullptr);
    return out;
}

}  // namespace

ReadableFile::ReadableFile(const std::filesystem::path& file, std::error_code& error)
    : handle_(reinterpret_cast<std::intptr_t>(CreateFileW(
          file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr))) {
    if (!IsOpen()) {
        AssignLastError(error);
    }
}

ReadableFile::~ReadableFile() {
    if (IsOpen()) {
        CloseHandle(Handle(handle_));
    }
}

bool ReadableFile::IsOpen() const {
    return Handle(handle_) != INVALID_HANDLE_VALUE;
}

std::size_t ReadableFile::Read(char* buffer, std::size_t size, std::error_code& error) {
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>((std::min<std::size_t>)(size, 1u << 30));
    if (!ReadFile(Handle(handle_), buffer, wanted, &got, nullptr)) {
        AssignLastError(error);
        return 0;
    }
    return got;
}

bool ReadableFile::Rewind(std::error_code& error) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(Handle(handle_), start, nullptr, FILE_BEGIN)) {
        AssignLastError(error);
        return false;
    }
    return true;
}

bool IsHiddenOrSystem(const std::filesystem::path& file) {
    const DWORD attributes = GetFileAttributesW(file.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ||
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

std::tm LocalTime(std::time_t instant) {
    std::tm local{};
    localtime_s(&local, &instant);
    return local;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        arguments.push_back(ToUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

bool IsConsole(std::FILE* stream) {
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
}

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // A console shows the bytes it is given in its output code page (437 or 850 on most
    // machines), so that an accented name came out as box-drawing signs. It reads them as UTF-8
    // while the program runs and gets its code page back at exit; pipes and files get the same
    // bytes either way.
    if (!IsConsole(stdout) && !IsConsole(stderr)) {
        return;
    }
    static const UINT previous = GetConsoleOutputCP();
    if (previous != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        std::atexit([] { SetConsoleOutputCP(previous); });
    }
    // Unbuffered, the C runtime hands a console one byte at a time, and a console reads each
    // byte of a character alone as a wrong sign: lines go to it whole (CheckedOutput flushes
    // after each line on a console).
    for (std::FILE* stream : {stdout, stderr}) {
        if (IsConsole(stream)) {
            std::setvbuf(stream, nullptr, _IOFBF, kConsoleBufferBytes);
        }
    }
}

bool IsClosedPipe(int error) {
    return (error == EPIPE || error == EINVAL) &&
           GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_PIPE;
}

}  // namespace kalvera::platform
