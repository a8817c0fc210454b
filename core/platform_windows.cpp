// windows.h first: shellapi.h relies on its types and macros.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

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

HeldFile::HeldFile(std::filesystem::path target) : target_(std::move(target)) {}

HeldFile::~HeldFile() {
    Close();
}

HeldFile::Creation HeldFile::Create(const std::filesystem::path& file, std::error_code& error) {
    // No FILE_SHARE_DELETE: nobody can delete the file while it is held.
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD failure = GetLastError();
        error.assign(static_cast<int>(failure), std::system_category());
        return failure == ERROR_FILE_EXISTS || failure == ERROR_ALREADY_EXISTS ? Creation::NameTaken
                                                                               : Creation::Failed;
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    file_ = file;
    return Creation::Created;
}

bool HeldFile::Write(std::string_view bytes, std::error_code& error) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto size = static_cast<DWORD>((std::min<std::size_t>)(bytes.size(), 1u << 30));
        if (WriteFile(Handle(handle_), bytes.data(), size, &written, nullptr) == 0) {
            AssignLastError(error);
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool HeldFile::Sync(std::error_code& error) {
    if (FlushFileBuffers(Handle(handle_)) == 0) {
        AssignLastError(error);
        return false;
    }
    return true;
}

bool HeldFile::Replace(std::error_code& error) {
    // A file held open cannot be renamed, so it is closed first; a cleanup in another copy of
    // the program could take it only in that instant, and then the rename fails and nothing
    // is replaced. Write-through: the rename is on disk when the call returns.
    Close();
    if (MoveFileExW(file_.c_str(), target_.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        AssignLastError(error);
        return false;
    }
    file_.clear();
    return true;
}

void HeldFile::Remove() {
    if (file_.empty()) {
        return;
    }
    Close();
    DeleteFileW(file_.c_str());
    file_.clear();
}

void HeldFile::Close() {
    if (handle_ != -1) {
        CloseHandle(Handle(handle_));
        handle_ = -1;
    }
}

// A file a live download holds open cannot be deleted: its handle does not share deletion.
bool RemoveIfUnheld(const std::filesystem::path& file) {
    const DWORD attributes = GetFileAttributesW(file.c_str());
    constexpr DWORD kNotAFile =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotAFile) == 0 &&
           DeleteFileW(file.c_str()) != 0;
}

bool SyncFolder(const std::filesystem::path&) {
    return true;
}

bool IsDiskFull(const std::error_code& error) {
    constexpr int kDiskQuotaExceeded = 1295;  // ERROR_DISK_QUOTA_EXCEEDED; MinGW lacks it
    const int value = error.value();
    return error.category() == std::system_category() &&
           (value == ERROR_DISK_FULL || value == ERROR_HANDLE_DISK_FULL ||
            value == kDiskQuotaExceeded);
}

std::string ErrorText(const std::error_code& error) {
    return "Windows error " + std::to_string(error.value());
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
