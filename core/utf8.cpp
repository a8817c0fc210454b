#include "utf8.h"

namespace kalvera {

std::size_t PutUtf8(char32_t code, char* out) {
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code >> 6));
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (code >> 12));
        out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (code >> 18));
    out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
}

void AppendUtf8(std::string& out, char32_t code) {
    char bytes[kMaxUtf8Bytes];
    out.append(bytes, PutUtf8(code, bytes));
}

std::optional<Utf8Character> DecodeUtf8(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    Utf8Character character;
    if (lead < 0x80) {
        return Utf8Character{lead, 1};
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        character = {lead & 0x1Fu, 2};
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        character = {lead & 0x0Fu, 3};
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        character = {lead & 0x07u, 4};
    } else {
        return std::nullopt;
    }
    if (text.size() - at < character.length) {
        return std::nullopt;
    }
    for (std::size_t k = 1; k < character.length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        character.code = (character.code << 6) | (next & 0x3Fu);
    }
    const char32_t code = character.code;
    const bool overlong =
        (character.length == 3 && code < 0x800) || (character.length == 4 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return std::nullopt;
    }
    return character;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::optional<Utf8Character> character = DecodeUtf8(text, i);
        if (!character) {
            return false;
        }
        i += character->length;
    }
    return true;
}

}  // namespace kalvera
