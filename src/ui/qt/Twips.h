#pragma once
#include <QRect>
#include <algorithm>
#include <cmath>

#include "ui/MainView.h"

namespace kestrun::ui::qt {

// Twips to pixels with the screen's factors (across, down). Sizes never go below zero, whatever the
// caller computed.
inline QRect TwipsToPixels(const TwipsRect& r, double tx, double ty) {
  return {static_cast<int>(std::lround(r.Left / tx)), static_cast<int>(std::lround(r.Top / ty)),
          static_cast<int>(std::max(0L, std::lround(r.Width / tx))),
          static_cast<int>(std::max(0L, std::lround(r.Height / ty)))};
}

inline TwipsRect PixelsToTwips(const QRect& g, double tx, double ty) {
  return {std::lround(g.x() * tx), std::lround(g.y() * ty), std::lround(g.width() * tx), std::lround(g.height() * ty)};
}

}  // namespace kestrun::ui::qt
