#pragma once

// What the program asks of the operating system that differs between Windows and the others,
// in one place: each function has one implementation per system, platform_windows.cpp and
// platform_posix.cpp, and the build compiles the one that fits. Nothing else holds code for
// one system only. Standard library only, here and in what uses it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace kalvera::platform {

// --- Files -------------------------------------------------------------------------------

// A file open for reading, closed with this object. Others may read, write, rename and
// replace it meanwhile, as a download does; this object keeps reading the file it opened.
class ReadableFile {
  public:
    // Opens `file`; on failure IsOpen() is false and `error` says why.
    ReadableFile(const std::filesystem::path& file, std::error_code& error);
    ~ReadableFile();
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;

    bool IsOpen() const;
    // Fills up to `size` bytes; returns how many were read, 0 at the end of the file. On
    // failure returns 0 and sets `error`.
    std::size_t Read(char* buffer, std::size_t size, std::error_code& error);
    // Reads on from the first byte again. False, with `error` set, when the file cannot.
    bool Rewind(std::error_code& error);

  private:
    std::intptr_t handle_;  // a file descriptor, or a Windows HANDLE
};

// Windows marks files hidden or system, and Explorer does not show them; elsewhere no file is.
bool IsHiddenOrSystem(const std::filesystem::path& file);

// The local calendar time of `instant`, as localtime would give it, but safe to call from
// any thread.
std::tm LocalTime(std::time_t instant);

// --- The command line and standard streams, for the tool ---------------------------------

// The program's arguments as UTF-8, argv[0] included. On Windows they are taken from the
// UTF-16 command line, since `argv` holds them in the ANSI code page, which cannot carry every
// name; elsewhere they are `argv` as given.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Standard output and error write bytes exactly as the program writes them: on Windows no LF
// is turned into CR LF, so output is the same on every system; and a Windows console shows
// them as the UTF-8 they are.
void UseBinaryStandardStreams();

// Whether `stream` writes to a Windows console; never elsewhere, where a terminal takes the
// bytes as they are.
bool IsConsole(std::FILE* stream);

// Whether `error`, from a write to standard output, means that its reader has gone: EPIPE, or
// on Windows the EINVAL that the C runtime makes of a broken pipe.
bool IsClosedPipe(int error);

}  // namespace kalvera::platform
