#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/input_file.h"

namespace kalvera::testing {

// While alive, counts the callbook files opened for reading, and every one of them reads its
// real bytes up to `failAfter` and then fails with an input/output error, as a failing disk or
// a dropped network share does, however often it is read from the start.
class ReadFailureAfter {
  public:
    explicit ReadFailureAfter(std::size_t failAfter = SIZE_MAX) {
        SetInputFileOpenerForTesting(
            [this, failAfter](const std::filesystem::path& file,
                              std::error_code& error) -> std::unique_ptr<InputFile> {
                ++opens_;
                auto real = OpenSystemInputFile(file, error);
                return real ? std::make_unique<Failing>(std::move(real), failAfter) : nullptr;
            });
    }
    ~ReadFailureAfter() { SetInputFileOpenerForTesting({}); }
    ReadFailureAfter(const ReadFailureAfter&) = delete;
    ReadFailureAfter& operator=(const ReadFailureAfter&) = delete;

    int Count() const { return opens_; }

  private:
    class Failing : public InputFile {
      public:
        Failing(std::unique_ptr<InputFile> real, std::size_t failAfter)
            : real_(std::move(real)), failAfter_(failAfter), left_(failAfter) {}
        std::size_t Read(char* buffer, std::size_t size, std::error_code& error) override {
            if (left_ == 0) {
                error = std::make_error_code(std::errc::io_error);
                return 0;
            }
            const std::size_t got = real_->Read(buffer, std::min(size, left_), error);
            left_ -= got;
            return got;
        }
        bool Rewind(std::error_code& error) override {
            left_ = failAfter_;
            return real_->Rewind(error);
        }

      private:
        std::unique_ptr<InputFile> real_;
        std::size_t failAfter_;
        std::size_t left_;
    };

    int opens_ = 0;
};

// Counts the opens, and no read fails.
using CountedOpens = ReadFailureAfter;

}  // namespace kalvera::testing
