#include "command_line.h"

#ifdef _WIN32
// windows.h first: shellapi.h relies on its types and macros.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#endif

namespace kalvera {

#ifdef _WIN32

namespace {

constexpr std::size_t kConsoleBufferBytes = 64 * 1024;

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

#else

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void UseBinaryStandardStreams() {}

bool IsConsole(std::FILE*) {
    return false;
}

#endif

}  // namespace kalvera
