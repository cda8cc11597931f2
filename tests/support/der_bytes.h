// Hand-made DER elements for tests that build shapes OpenSSL would not write.
#pragma once

#include <cstddef>
#include <string>

// The DER length octets of `length` (short form below 128, minimal long form otherwise).
inline std::string DerLength(std::size_t length) {
    if (length < 0x80)
        return std::string(1, static_cast<char>(length));
    std::string bytes;
    for (std::size_t rest = length; rest != 0; rest >>= 8)
        bytes.insert(bytes.begin(), static_cast<char>(rest & 0xFF));
    return static_cast<char>(0x80 | bytes.size()) + bytes;
}

// One element: tag, length, content.
inline std::string Tlv(char tag, const std::string& content) {
    return tag + DerLength(content.size()) + content;
}
