#pragma once

#include <QRect>
#include <QSize>

// The window templates give their sizes in dialog units of their font,
// "MS Shell Dlg" 9 point. Windows measures that font (Microsoft Sans Serif
// 9 point, 12 pixels high at 96 DPI) as an average character 7 pixels wide
// and a line 15 pixels high, its dialog base units. A horizontal dialog unit
// is a quarter of the base width and a vertical one an eighth of the base
// height: pixels = MulDiv(units, base, 4 or 8), rounded to the nearest pixel.
inline constexpr int kDialogBaseUnitX = 7;
inline constexpr int kDialogBaseUnitY = 15;

constexpr int DluToPixelsX(int units) { return (units * kDialogBaseUnitX * 2 + 4) / 8; }
constexpr int DluToPixelsY(int units) { return (units * kDialogBaseUnitY * 2 + 8) / 16; }

constexpr QRect DluRect(int x, int y, int width, int height) {
    return QRect(DluToPixelsX(x), DluToPixelsY(y), DluToPixelsX(width), DluToPixelsY(height));
}

// The main window's client area as its template makes it, 330 x 221 dialog
// units: 578 x 414 pixels. The start-up screen test compares the screen with it.
inline constexpr QSize kTemplateClientSize(DluToPixelsX(330), DluToPixelsY(221));
static_assert(kTemplateClientSize.width() == 578 && kTemplateClientSize.height() == 414);
