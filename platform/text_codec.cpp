#include "platform/text_codec.h"

#include <cstdint>

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        out.push_back(kReplacement);
    } else if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b0 = s[i];
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        // Length of the sequence and the valid range of its second byte (Unicode table 3-7).
        int len = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        char32_t cp = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3;
            cp = b0 & 0x0F;
            if (b0 == 0xE0)
                lo = 0xA0;
            else if (b0 == 0xED)
                hi = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4;
            cp = b0 & 0x07;
            if (b0 == 0xF0)
                lo = 0x90;
            else if (b0 == 0xF4)
                hi = 0x8F;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 1; k < len; ++k, ++j) {
            const unsigned char lower = (k == 1) ? lo : 0x80;
            const unsigned char upper = (k == 1) ? hi : 0xBF;
            if (j >= n || s[j] < lower || s[j] > upper) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (s[j] & 0x3F);
        }
        if (ok) {
            AppendCodePoint(out, cp);
            i = j;
        } else {
            // The maximal valid prefix is replaced by one U+FFFD; the offending byte is read again.
            out.push_back(kReplacement);
            i = j;
        }
    }
    return out;
}

std::u16string Latin1ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes)
        out.push_back(c);
    return out;
}

std::u16string Utf16BeToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 2 + 1);
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const auto hi = static_cast<unsigned char>(bytes[i]);
        const auto lo = static_cast<unsigned char>(bytes[i + 1]);
        out.push_back(static_cast<char16_t>((hi << 8) | lo));
    }
    if (i < bytes.size())
        out.push_back(kReplacement);
    return out;
}

std::u16string Ucs4BeToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 4 + 1);
    std::size_t i = 0;
    for (; i + 3 < bytes.size(); i += 4) {
        char32_t cp = 0;
        for (int k = 0; k < 4; ++k)
            cp = (cp << 8) | static_cast<unsigned char>(bytes[i + k]);
        AppendCodePoint(out, cp);
    }
    if (i < bytes.size())
        out.push_back(kReplacement);
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string_view CutAtNul(std::u16string_view text) {
    const auto nul = text.find(u'\0');
    return nul == std::u16string_view::npos ? text : text.substr(0, nul);
}

std::u16string PathToDisplayText(const std::filesystem::path& path) {
    return Utf8ToUtf16(path.native());
}

std::u16string FileNameDisplayText(const std::filesystem::path& path) {
    return Utf8ToUtf16(path.filename().native());
}
