#include "input_file.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kalvera {
namespace {

#ifdef _WIN32

class SystemInputFile : public InputFile {
  public:
    explicit SystemInputFile(HANDLE handle) : handle_(handle) {}
    ~SystemInputFile() override { CloseHandle(handle_); }
    SystemInputFile(const SystemInputFile&) = delete;
    SystemInputFile& operator=(const SystemInputFile&) = delete;

    std::size_t Read(char* buffer, std::size_t size, std::error_code& error) override {
        DWORD got = 0;
        const DWORD wanted = static_cast<DWORD>((std::min<std::size_t>)(size, 1u << 30));
        if (!ReadFile(handle_, buffer, wanted, &got, nullptr)) {
            error.assign(static_cast<int>(GetLastError()), std::system_category());
            return 0;
        }
        return got;
    }

  private:
    HANDLE handle_;
};

#else

class SystemInputFile : public InputFile {
  public:
    explicit SystemInputFile(int descriptor) : descriptor_(descriptor) {}
    ~SystemInputFile() override { close(descriptor_); }
    SystemInputFile(const SystemInputFile&) = delete;
    SystemInputFile& operator=(const SystemInputFile&) = delete;

    std::size_t Read(char* buffer, std::size_t size, std::error_code& error) override {
        for (;;) {
            const ssize_t got = read(descriptor_, buffer, size);
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                error.assign(errno, std::generic_category());
                return 0;
            }
        }
    }

  private:
    int descriptor_;
};

#endif

InputFileOpener& ReplacedOpener() {
    static InputFileOpener opener;
    return opener;
}

}  // namespace

std::unique_ptr<InputFile> OpenSystemInputFile(const std::filesystem::path& file,
                                               std::error_code& error) {
#ifdef _WIN32
    // Others may read, write and replace the file meanwhile, as a download does.
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error.assign(static_cast<int>(GetLastError()), std::system_category());
        return nullptr;
    }
    return std::make_unique<SystemInputFile>(handle);
#else
    int descriptor = -1;
    do {
        descriptor = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        error.assign(errno, std::generic_category());
        return nullptr;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    posix_fadvise(descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return std::make_unique<SystemInputFile>(descriptor);
#endif
}

std::unique_ptr<InputFile> OpenInputFile(const std::filesystem::path& file,
                                         std::error_code& error) {
    if (const InputFileOpener& opener = ReplacedOpener()) {
        return opener(file, error);
    }
    return OpenSystemInputFile(file, error);
}

void SetInputFileOpenerForTesting(InputFileOpener opener) {
    ReplacedOpener() = std::move(opener);
}

}  // namespace kalvera
