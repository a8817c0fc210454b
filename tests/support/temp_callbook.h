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

// `text`, `times` over.
inline std::string Repeated(std::string_view text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// `text` as UTF-16 bytes, after the byte-order mark of its byte order.
inline std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(bigEndian ? unit >> 8 : unit);
        bytes += static_cast<char>(bigEndian ? unit : unit >> 8);
    }
    return bytes;
}

}  // namespace kalvera::testing
