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
#include <string_view>
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

// A new file, written whole and then renamed over `target` in one step, or removed; `target`
// itself is never opened for writing. While this object holds the file it is open, and on
// POSIX locked (flock); on Windows its handle does not share deletion. Either way
// RemoveIfUnheld in another copy of the program leaves it alone, however long it waits.
class HeldFile {
  public:
    enum class Creation {
        Created,
        // A file of that name exists, or another copy's cleanup took the new file before it
        // was held: another name may do.
        NameTaken,
        Failed,
    };

    explicit HeldFile(std::filesystem::path target);
    // Closes the file and leaves it where it is.
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // Creates `file`, which must not exist yet, beside the target; on POSIX it takes the
    // target's permissions, when there is a target. `error` says why it failed or the name
    // was taken.
    Creation Create(const std::filesystem::path& file, std::error_code& error);
    bool Write(std::string_view bytes, std::error_code& error);
    // Puts the file's data on disk.
    bool Sync(std::error_code& error);
    // Renames the file, synced before, over the target in one step and makes the rename
    // itself durable. When the rename failed, Remove takes the file away.
    bool Replace(std::error_code& error);
    // Removes the file unless it replaced the target.
    void Remove();

  private:
    void Close();

    std::filesystem::path target_;
    std::filesystem::path file_;  // empty while there is none
    std::intptr_t handle_ = -1;   // a file descriptor, or a Windows HANDLE
};

// Removes `file` when it is a regular file (never a link, a folder or a FIFO) that no
// HeldFile holds: one that was left by a program killed midway. True when it was removed.
bool RemoveIfUnheld(const std::filesystem::path& file);

// Makes a rename in `folder` survive a power cut (POSIX: fsync of the folder). Windows has
// nothing to do here: HeldFile asks its rename to write through.
bool SyncFolder(const std::filesystem::path& folder);

// Whether `error`, from a HeldFile, means that the disk is full or the user's quota used up.
bool IsDiskFull(const std::error_code& error);

// What the system says `error`, from a HeldFile, means, in the encoding of the system's
// messages; for logs.
std::string ErrorText(const std::error_code& error);

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
