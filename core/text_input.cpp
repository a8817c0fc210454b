#include "text_input.h"

#include <algorithm>
#include <cstring>
#include <string_view>

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

TextInput::TextInput(std::unique_ptr<InputFile> file) : file_(std::move(file)) {
    while (headLength_ < sizeof head_) {
        const std::size_t got =
            file_->Read(head_ + headLength_, sizeof head_ - headLength_, error_);
        if (got == 0) {
            rawEnded_ = true;
            break;
        }
        headLength_ += got;
    }
    const std::string_view head(head_, headLength_);
    if (head.starts_with(kUtf8ByteOrderMark)) {
        encoding_ = TextEncoding::Utf8WithByteOrderMark;
        headStart_ = kUtf8ByteOrderMark.size();
    } else if (head.starts_with(kUtf16LittleEndianMark) || head.starts_with(kUtf16BigEndianMark)) {
        encoding_ = head.starts_with(kUtf16LittleEndianMark) ? TextEncoding::Utf16LittleEndian
                                                             : TextEncoding::Utf16BigEndian;
        if (headLength_ > 2) {
            pendingByte_ = static_cast<unsigned char>(head_[2]);
        }
        headStart_ = headLength_;
    }
}

std::size_t TextInput::Read(char* out, std::size_t capacity) {
    if (encoding_ == TextEncoding::Utf16LittleEndian || encoding_ == TextEncoding::Utf16BigEndian) {
        return DecodeUtf16(out, capacity);
    }
    return ReadRaw(out, capacity);
}

std::size_t TextInput::ReadRaw(char* out, std::size_t capacity) {
    std::size_t count = 0;
    if (headStart_ < headLength_) {
        count = std::min(capacity, headLength_ - headStart_);
        std::memcpy(out, head_ + headStart_, count);
        headStart_ += count;
    }
    if (rawEnded_ || count == capacity) {
        return count;
    }
    const std::size_t got = file_->Read(out + count, capacity - count, error_);
    rawEnded_ = got == 0;
    return count + got;
}

std::size_t TextInput::DecodeUtf16(char* out, std::size_t capacity) {
    // Each code unit gives at most three bytes; a pair gives four for its two units.
    const std::size_t units = capacity / 3 - 1;
    if (raw_.size() < units * 2) {
        raw_.resize(units * 2);
    }
    const bool littleEndian = encoding_ == TextEncoding::Utf16LittleEndian;
    std::size_t written = 0;
    while (written == 0) {
        if (rawEnded_) {
            // What is left cannot become a character any more.
            if (highSurrogate_ != 0) {
                written += PutUtf8(kReplacementCharacter, out + written);
                highSurrogate_ = 0;
            }
            if (pendingByte_ >= 0) {
                written += PutUtf8(kReplacementCharacter, out + written);
                pendingByte_ = -1;
            }
            return written;
        }
        std::size_t have = 0;
        if (pendingByte_ >= 0) {
            raw_[0] = static_cast<char>(pendingByte_);
            pendingByte_ = -1;
            have = 1;
        }
        const std::size_t got = file_->Read(raw_.data() + have, units * 2 - have, error_);
        if (got == 0) {
            rawEnded_ = true;
            if (have == 1) {
                pendingByte_ = static_cast<unsigned char>(raw_[0]);
            }
            continue;
        }
        have += got;
        if (have % 2 == 1) {
            pendingByte_ = static_cast<unsigned char>(raw_[have - 1]);
            --have;
        }
        for (std::size_t i = 0; i < have; i += 2) {
            const auto first = static_cast<unsigned char>(raw_[i]);
            const auto second = static_cast<unsigned char>(raw_[i + 1]);
            const auto unit =
                static_cast<char16_t>(littleEndian ? first | (second << 8) : (first << 8) | second);
            if (highSurrogate_ != 0) {
                if (IsLowSurrogate(unit)) {
                    const char32_t code = 0x10000 +
                                          ((static_cast<char32_t>(highSurrogate_) - 0xD800) << 10) +
                                          (static_cast<char32_t>(unit) - 0xDC00);
                    written += PutUtf8(code, out + written);
                    highSurrogate_ = 0;
                    continue;
                }
                written += PutUtf8(kReplacementCharacter, out + written);
                highSurrogate_ = 0;
            }
            if (IsHighSurrogate(unit)) {
                highSurrogate_ = unit;
            } else if (IsLowSurrogate(unit)) {
                written += PutUtf8(kReplacementCharacter, out + written);
            } else {
                written += PutUtf8(unit, out + written);
            }
        }
    }
    return written;
}

}  // namespace kalvera
