// The one conversion between the core's UTF-16 text and QString; both hold UTF-16 units, so it
// copies them unchanged, unpaired surrogates included.
#pragma once

#include <QString>

#include <string>
#include <string_view>

inline QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string ToU16String(const QString& text) {
    return text.toStdU16String();
}
