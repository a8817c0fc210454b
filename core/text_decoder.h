#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kalvera {

// How the bytes of a callbook file are turned into text.
enum class TextEncoding {
    Bytes,                  // no byte-order mark: UTF-8 or Windows-1252, kept as they are
    Utf8WithByteOrderMark,  // the mark is dropped
    Utf16LittleEndian,      // with its byte-order mark, as Notepad saves "Unicode"
    Utf16BigEndian,
};

// Turns the bytes of a callbook into the text every reader sees, fed in pieces as they come
// (cut anywhere: inside the byte-order mark, a code unit or a surrogate pair): a byte-order
// mark at the start is dropped, and UTF-16 becomes UTF-8, a broken surrogate and a lone last
// byte each U+FFFD. Without a mark the bytes are the text. The reader pulls a file through it
// (TextInput), the download's content check pushes the body through it. Holds a few bytes.
class TextDecoder {
  public:
    // The most text that Decode makes of `rawBytes` bytes: three bytes per code unit, with a
    // byte held back from before, and a replacement for a surrogate held back from before.
    static constexpr std::size_t MaxTextBytes(std::size_t rawBytes) {
        return 3 * (rawBytes / 2 + 1) + 3;
    }
    // The most text that Finish makes.
    static constexpr std::size_t kMaxFinishBytes = 6;

    // Bytes until the start of the text has told.
    TextEncoding Encoding() const { return encoding_; }
    // Whether the start of the text has told the encoding: after three bytes at most.
    bool Decided() const { return decided_; }
    // Decided, and 8-bit: from here on the bytes are the text, so a reader may take them as
    // they are instead of through Decode.
    bool PassesBytesThrough() const {
        return decided_ && (encoding_ == TextEncoding::Bytes ||
                            encoding_ == TextEncoding::Utf8WithByteOrderMark);
    }

    // Writes the text of `raw` to `out`, which has room for MaxTextBytes(raw.size()); returns
    // how many bytes it wrote. Some bytes may be held back for the next piece.
    std::size_t Decode(std::string_view raw, char* out);
    // What Finish would write now, without ending anything.
    std::size_t Tail(char* out) const;
    // The bytes have ended: writes what was held back (up to kMaxFinishBytes) to `out`.
    std::size_t Finish(char* out);

    // UTF-16 that has ended so far in the middle of a code unit.
    bool HoldsHalfUnit() const { return pendingByte_ >= 0; }
    // Whether anything is held back: bytes of a possible mark, half a unit, half a pair.
    bool HoldsBack() const { return headLength_ > 0 || pendingByte_ >= 0 || highSurrogate_ != 0; }

  private:
    // Takes one more byte of a possible mark; decides when it can.
    void Head(char byte, char* out, std::size_t& written);
    std::size_t DecodeUtf16(std::string_view raw, char* out);

    TextEncoding encoding_ = TextEncoding::Bytes;
    bool decided_ = false;
    char head_[3] = {};  // bytes of a possible mark, until decided
    std::uint8_t headLength_ = 0;
    int pendingByte_ = -1;        // UTF-16: the first byte of a code unit
    char16_t highSurrogate_ = 0;  // UTF-16: the first half of a pair
};

}  // namespace kalvera
