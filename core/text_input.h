#pragma once

#include <cstddef>
#include <memory>
#include <system_error>

#include "input_file.h"
#include "text_decoder.h"

namespace kalvera {

// A callbook file read as text through TextDecoder, pulled by the reader. 8-bit text is read
// straight into the caller's buffer; only UTF-16 goes through a buffer of its own.
class TextInput {
  public:
    // Reads the first bytes to tell the encoding.
    explicit TextInput(std::unique_ptr<InputFile> file);

    TextEncoding Encoding() const { return decoder_.Encoding(); }

    // Reads need room for a few characters at least.
    static constexpr std::size_t kMinCapacity = 16;
    static_assert(kMinCapacity >= TextDecoder::MaxTextBytes(2) + TextDecoder::kMaxFinishBytes);

    // Fills up to `capacity` bytes (at least kMinCapacity) with text; returns 0 only at the end
    // of the file or on a read error.
    std::size_t Read(char* out, std::size_t capacity);
    // Set once a read has failed; the text then ends there.
    const std::error_code& Error() const { return error_; }

    // Reads the text again from its start, from the same file. False when the file cannot go
    // back (Error() then says why).
    bool Rewind();

  private:
    // Reads the first bytes to tell the encoding.
    void Start();
    // Text after what telling the encoding made.
    std::size_t ReadText(char* out, std::size_t capacity);
    // Reads raw bytes; 0 at the end of the file or on an error.
    std::size_t ReadRaw(char* out, std::size_t capacity);

    std::unique_ptr<InputFile> file_;
    std::error_code error_;
    TextDecoder decoder_;
    bool rawEnded_ = false;
    bool finished_ = false;
    // Text made while telling the encoding, handed out first.
    char head_[TextDecoder::MaxTextBytes(3) + TextDecoder::kMaxFinishBytes] = {};
    std::size_t headStart_ = 0;
    std::size_t headLength_ = 0;
    std::unique_ptr<char[]> raw_;  // UTF-16 only
    std::size_t rawCapacity_ = 0;
};

}  // namespace kalvera
