// Texts as the log and the file names take them (UTF-8) from what the cartridge and the files
// hold (bytes of an 8-bit character set).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Each byte as the character of the same number (ISO 8859-1), in UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);

// Lower-case hexadecimal without prefix or leading zeros: 18000, 1f8000, 0.
std::string Hex(std::uint32_t value);

// The characters of UTF-8 text, and back. A byte that starts no valid sequence stands for the
// character of its own number.
std::u32string DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u32string_view text);
