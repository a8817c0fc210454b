#include "text_input.h"

#include <algorithm>
#include <cstring>

namespace kalvera {

TextInput::TextInput(std::unique_ptr<InputFile> file) : file_(std::move(file)) {
    Start();
}

bool TextInput::Rewind() {
    if (!file_->Rewind(error_)) {
        return false;
    }
    decoder_ = TextDecoder();
    rawEnded_ = finished_ = false;
    headStart_ = headLength_ = 0;
    Start();
    return true;
}

void TextInput::Start() {
    // A mark is three bytes at most; fewer bytes than that may be all there is.
    char first[3];
    std::size_t have = 0;
    while (have < sizeof first && !rawEnded_) {
        have += ReadRaw(first + have, sizeof first - have);
    }
    headLength_ = decoder_.Decode(std::string_view(first, have), head_);
    if (rawEnded_) {
        headLength_ += decoder_.Finish(head_ + headLength_);
        finished_ = true;
    }
}

std::size_t TextInput::ReadRaw(char* out, std::size_t capacity) {
    const std::size_t got = file_->Read(out, capacity, error_);
    rawEnded_ = got == 0;
    return got;
}

std::size_t TextInput::Read(char* out, std::size_t capacity) {
    std::size_t count = 0;
    if (headStart_ < headLength_) {
        count = std::min(capacity, headLength_ - headStart_);
        std::memcpy(out, head_ + headStart_, count);
        headStart_ += count;
    }
    // UTF-16 needs room for a character or two; what does not fit now comes next time.
    const std::size_t room = capacity - count;
    const bool fits = room >= TextDecoder::MaxTextBytes(2) || (count == 0 && room > 0);
    return count + (fits ? ReadText(out + count, room) : 0);
}

std::size_t TextInput::ReadText(char* out, std::size_t capacity) {
    if (finished_ || rawEnded_) {
        return 0;
    }
    if (decoder_.PassesBytesThrough()) {
        return ReadRaw(out, capacity);
    }
    // UTF-16: as many raw bytes as surely fit once decoded.
    std::size_t rawBytes = 2;
    while (TextDecoder::MaxTextBytes(rawBytes * 2) <= capacity) {
        rawBytes *= 2;
    }
    if (rawCapacity_ < rawBytes) {
        raw_ = std::make_unique_for_overwrite<char[]>(rawBytes);
        rawCapacity_ = rawBytes;
    }
    for (;;) {
        const std::size_t got = ReadRaw(raw_.get(), rawBytes);
        if (got == 0) {
            finished_ = true;
            return decoder_.Finish(out);
        }
        if (const std::size_t written = decoder_.Decode(std::string_view(raw_.get(), got), out)) {
            return written;
        }
    }
}

}  // namespace kalvera
