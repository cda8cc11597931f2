// Conversions between the byte encodings met on a Linux desktop and the UTF-16 text the core uses.
// None of these functions throws on malformed input: bytes that do not form valid UTF-8 become
// U+FFFD, one replacement per maximal ill-formed subsequence.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// UTF-8 bytes (also what stands in for the ANSI code page) to UTF-16.
std::u16string Utf8ToUtf16(std::string_view bytes);

// Each byte is one code point U+0000..U+00FF (ISO 8859-1).
std::u16string Latin1ToUtf16(std::string_view bytes);

// Big-endian UCS-2 / UTF-16 code units (ASN.1 BMPString). A trailing odd byte becomes U+FFFD.
std::u16string Utf16BeToUtf16(std::string_view bytes);

// Big-endian UCS-4 (ASN.1 UniversalString). Values that are not Unicode scalar values, and a
// trailing partial group, become U+FFFD.
std::u16string Ucs4BeToUtf16(std::string_view bytes);

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Text up to (not including) the first U+0000.
std::u16string_view CutAtNul(std::u16string_view text);

// The text to show for a path or file name: its bytes read as UTF-8, bad bytes as U+FFFD.
std::u16string PathToDisplayText(const std::filesystem::path& path);

// The final component of a path as display text, for any length of path.
std::u16string FileNameDisplayText(const std::filesystem::path& path);
