#include "res/dialog_units.h"

#include <QFontMetrics>
#include <QStringList>

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

int DialogUnits::ToPixelsX(int units) const {
    return MulDiv(units, baseX, 4);
}
int DialogUnits::ToPixelsY(int units) const {
    return MulDiv(units, baseY, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height));
}

QSize DialogUnits::ToPixels(int width, int height) const {
    return QSize(ToPixelsX(width), ToPixelsY(height));
}

DialogUnits DialogUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    DialogUnits units;
    units.baseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    units.baseY = metrics.height();
    if (units.baseX < 1)
        units.baseX = 1;
    if (units.baseY < 1)
        units.baseY = 1;
    return units;
}

QFont MainDialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS UI Gothic"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(9);
    return font;
}

QFont FormDialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Shell Dlg"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}
