#pragma once

#include <cstddef>
#include <memory>
#include <system_error>
#include <vector>

#include "input_file.h"

namespace kalvera {

// How the bytes of a callbook file are turned into text.
enum class TextEncoding {
    Bytes,                  // no byte-order mark: UTF-8 or Windows-1252, kept as they are
    Utf8WithByteOrderMark,  // the mark is dropped
    Utf16LittleEndian,      // with its byte-order mark, as Notepad saves "Unicode"
    Utf16BigEndian,
};

// A callbook file as text bytes: a byte-order mark at the start is dropped, and UTF-16 is
// turned into UTF-8 (a broken surrogate or a lone last byte becomes U+FFFD), so every reader
// sees the same kind of bytes whatever the editor saved.
class TextInput {
  public:
    // Reads the first bytes to tell the encoding.
    explicit TextInput(std::unique_ptr<InputFile> file);

    TextEncoding Encoding() const { return encoding_; }

    // Fills up to `capacity` bytes (at least 8) with text; returns 0 only at the end of the file
    // or on a read error.
    std::size_t Read(char* out, std::size_t capacity);
    // Set once a read has failed; the text then ends there.
    const std::error_code& Error() const { return error_; }

  private:
    std::size_t ReadRaw(char* out, std::size_t capacity);
    std::size_t DecodeUtf16(char* out, std::size_t capacity);

    std::unique_ptr<InputFile> file_;
    std::error_code error_;
    TextEncoding encoding_ = TextEncoding::Bytes;
    // Bytes read while looking for a byte-order mark that belong to the text.
    char head_[3] = {};
    std::size_t headStart_ = 0;
    std::size_t headLength_ = 0;
    bool rawEnded_ = false;
    // UTF-16 only: raw bytes and what is left over between reads.
    std::vector<char> raw_;
    int pendingByte_ = -1;
    char16_t highSurrogate_ = 0;
};

}  // namespace kalvera
