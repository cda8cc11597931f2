#include "catalogue/display_text.h"

namespace {

bool IsHiddenOrReordering(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
        return true; // C0, DEL, C1
    switch (c) {
    case 0x061C: // Arabic letter mark
    case 0x180E: // Mongolian vowel separator
    case 0xFEFF: // zero-width no-break space
        return true;
    default:
        break;
    }
    return (c >= 0x200B && c <= 0x200F) || // zero-width space/joiners, LRM, RLM
           (c >= 0x2028 && c <= 0x202E) || // line/paragraph separators, embeddings, overrides
           (c >= 0x2060 && c <= 0x2064) || // word joiner, invisible operators
           (c >= 0x2066 && c <= 0x2069) || // isolates
           (c >= 0xE0000 && c <= 0xE007F); // tags
}

void AppendEscape(std::u16string& out, char32_t c) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    out += u"<U+";
    int digits = c > 0xFFFF ? 5 : 4;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kHex[(c >> shift) & 0xF];
    out += u'>';
}

} // namespace

std::u16string EscapeForDisplay(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        char32_t c = unit;
        std::size_t units = 1;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            units = 2;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            out += u'\uFFFD';
            continue;
        }
        if (IsHiddenOrReordering(c))
            AppendEscape(out, c);
        else
            out.append(text.substr(i, units));
        i += units - 1;
    }
    return out;
}
