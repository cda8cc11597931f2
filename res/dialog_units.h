// Dialog units: positions and sizes of the dialog templates, turned into pixels through the
// metrics of each dialog's font (a horizontal unit is a quarter of the font's average character
// width, a vertical unit an eighth of its height).
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

struct DialogUnits {
    int baseX = 8;  // average character width in pixels
    int baseY = 16; // character height in pixels

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QRect ToPixels(int x, int y, int width, int height) const;
    QSize ToPixels(int width, int height) const;
};

DialogUnits DialogUnitsOf(const QFont& font);

// The font of the main window and the About box: "MS UI Gothic" 9 points where it exists, else
// a Japanese Gothic, else the desktop's sans-serif.
QFont MainDialogFont();

// The font of the generation form: "MS Shell Dlg" 8 points where it exists, else the desktop's
// sans-serif.
QFont FormDialogFont();
