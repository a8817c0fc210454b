#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace kalvera::testing {

// A fresh folder under the system's temp folder, removed with everything in it afterwards.
class TempFolder {
  public:
    TempFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("kalvera-test-" + std::to_string(std::random_device{}()))) {
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Writes `bytes` exactly as given to a file in this folder and returns its path. A write
    // that fails fails the test: a test must never pass on a file it did not write.
    std::filesystem::path Write(std::string_view bytes, const std::string& name = "log.txt") const {
        const auto file = path_ / name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
            ADD_FAILURE() << "cannot write " << bytes.size() << " bytes to " << file;
        }
        return file;
    }

  private:
    std::filesystem::path path_;
};

}  // namespace kalvera::testing
