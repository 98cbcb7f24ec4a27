#pragma once
#include <QColor>

namespace kestrun::ui::qt {

// The contrast ratio of two colours as the web's accessibility guidelines measure it: from 1 (the same
// lightness) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// The nearest colour to `wanted` that stands out from `background` by at least `ratio`: `wanted` itself
// when it does, else mixed toward black or white (whichever contrasts more with the background) no
// further than needed, so a red line stays red on a light log and turns a lighter red on a dark one.
QColor ReadableColour(const QColor& wanted, const QColor& background, double ratio = 4.5);

}  // namespace kestrun::ui::qt
