#include "text_decoder.h"

#include <cstring>

#include "callbook_format.h"
#include "utf8.h"

namespace kalvera {
namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

void TextDecoder::Head(char byte, char* out, std::size_t& written) {
    head_[headLength_++] = byte;
    const std::string_view head(head_, headLength_);
    if (head == kUtf8ByteOrderMark) {
        encoding_ = TextEncoding::Utf8WithByteOrderMark;
    } else if (head == kUtf16LittleEndianMark) {
        encoding_ = TextEncoding::Utf16LittleEndian;
    } else if (head == kUtf16BigEndianMark) {
        encoding_ = TextEncoding::Utf16BigEndian;
    } else if (kUtf8ByteOrderMark.starts_with(head) || kUtf16LittleEndianMark.starts_with(head) ||
               kUtf16BigEndianMark.starts_with(head)) {
        return;  // a mark may still come
    } else {
        // No mark: what was held back is text.
        std::memcpy(out + written, head_, headLength_);
        written += headLength_;
    }
    decided_ = true;
    headLength_ = 0;
}

std::size_t TextDecoder::Decode(std::string_view raw, char* out) {
    std::size_t written = 0;
    while (!decided_ && !raw.empty()) {
        Head(raw.front(), out, written);
        raw.remove_prefix(1);
    }
    if (raw.empty()) {
        return written;
    }
    if (PassesBytesThrough()) {
        std::memcpy(out + written, raw.data(), raw.size());
        return written + raw.size();
    }
    return written + DecodeUtf16(raw, out + written);
}

std::size_t TextDecoder::DecodeUtf16(std::string_view raw, char* out) {
    const bool littleEndian = encoding_ == TextEncoding::Utf16LittleEndian;
    std::size_t written = 0;
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (pendingByte_ < 0) {
            pendingByte_ = byte;
            continue;
        }
        const auto first = static_cast<unsigned>(pendingByte_);
        pendingByte_ = -1;
        const auto unit =
            static_cast<char16_t>(littleEndian ? first | (byte << 8) : (first << 8) | byte);
        if (highSurrogate_ != 0) {
            const char16_t high = highSurrogate_;
            highSurrogate_ = 0;
            if (IsLowSurrogate(unit)) {
                const char32_t code = 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) +
                                      (static_cast<char32_t>(unit) - 0xDC00);
                written += PutUtf8(code, out + written);
                continue;
            }
            written += PutUtf8(kReplacementCharacter, out + written);
        }
        if (IsHighSurrogate(unit)) {
            highSurrogate_ = unit;
        } else {
            written += PutUtf8(IsLowSurrogate(unit) ? kReplacementCharacter : unit, out + written);
        }
    }
    return written;
}

std::size_t TextDecoder::Tail(char* out) const {
    if (!decided_) {
        std::memcpy(out, head_, headLength_);  // too short for a mark: text
        return headLength_;
    }
    std::size_t written = 0;
    if (highSurrogate_ != 0) {
        written += PutUtf8(kReplacementCharacter, out + written);
    }
    if (pendingByte_ >= 0) {
        written += PutUtf8(kReplacementCharacter, out + written);
    }
    return written;
}

std::size_t TextDecoder::Finish(char* out) {
    const std::size_t written = Tail(out);
    decided_ = true;
    headLength_ = 0;
    highSurrogate_ = 0;
    pendingByte_ = -1;
    return written;
}

}  // namespace kalvera
