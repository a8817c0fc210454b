#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>

namespace kalvera {

// A file read from its start to its end. Every reader of the callbook reads through this
// seam, so a test can make a read fail in the middle of a real file.
class InputFile {
  public:
    virtual ~InputFile() = default;
    // Fills up to `size` bytes; returns how many were read, 0 at the end of the file. On
    // failure returns 0 and sets `error`.
    virtual std::size_t Read(char* buffer, std::size_t size, std::error_code& error) = 0;
    // Reads on from the first byte again, of the same file however it was renamed or replaced
    // meanwhile. False, with `error` set, when it cannot.
    virtual bool Rewind(std::error_code& error) = 0;
};

// Opens `file` for reading; on failure returns nullptr and sets `error`.
std::unique_ptr<InputFile> OpenInputFile(const std::filesystem::path& file, std::error_code& error);

// Replaces how files are opened, for tests; an empty function restores the real one.
using InputFileOpener =
    std::function<std::unique_ptr<InputFile>(const std::filesystem::path&, std::error_code&)>;
void SetInputFileOpenerForTesting(InputFileOpener opener);

// The opener that is not replaced by tests, for a test opener to wrap.
std::unique_ptr<InputFile> OpenSystemInputFile(const std::filesystem::path& file,
                                               std::error_code& error);

}  // namespace kalvera
