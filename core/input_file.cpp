#include "input_file.h"

#include "platform.h"

namespace kalvera {
namespace {

class SystemInputFile : public InputFile {
  public:
    SystemInputFile(const std::filesystem::path& file, std::error_code& error)
        : file_(file, error) {}

    bool IsOpen() const { return file_.IsOpen(); }
    std::size_t Read(char* buffer, std::size_t size, std::error_code& error) override {
        return file_.Read(buffer, size, error);
    }
    bool Rewind(std::error_code& error) override { return file_.Rewind(error); }

  private:
    platform::ReadableFile file_;
};

InputFileOpener& ReplacedOpener() {
    static InputFileOpener opener;
    return opener;
}

}  // namespace

std::unique_ptr<InputFile> OpenSystemInputFile(const std::filesystem::path& file,
                                               std::error_code& error) {
    auto opened = std::make_unique<SystemInputFile>(file, error);
    if (!opened->IsOpen()) {
        return nullptr;
    }
    return opened;
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
