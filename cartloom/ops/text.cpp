#include "cartloom/ops/text.h"

#include <cstdio>

std::string Latin1ToUtf8(std::string_view bytes) {
    std::u32string chars;
    for (char c : bytes) chars += static_cast<char32_t>(static_cast<unsigned char>(c));
    return EncodeUtf8(chars);
}

std::string Hex(std::uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(value));
    return text;
}

std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        // Over-long forms and surrogates are not characters of their own.
        if (valid && ((length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) ||
                      (length == 4 && (c < 0x10000 || c > 0x10FFFF)))) {
            valid = false;
        }
        if (!valid) {
            out += static_cast<char32_t>(lead);
            ++i;
            continue;
        }
        out += c;
        i += length;
    }
    return out;
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
