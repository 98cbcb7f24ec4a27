#include "ui/qt/ReadableColour.h"

#include <cmath>

namespace kestrun::ui::qt {

namespace {

double Linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
  return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

QColor Mix(const QColor& from, const QColor& to, double share) {
  auto channel = [share](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * share)); };
  return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()), channel(from.blue(), to.blue()));
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableColour(const QColor& wanted, const QColor& background, double ratio) {
  if (ContrastRatio(wanted, background) >= ratio) return wanted;
  const QColor extreme = ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background)
                             ? QColor(Qt::black)
                             : QColor(Qt::white);
  // The share of the extreme that is just enough; a background of middling grey may need all of it.
  double low = 0;
  double high = 1;
  for (int i = 0; i < 16; ++i) {
    const double middle = (low + high) / 2;
    if (ContrastRatio(Mix(wanted, extreme, middle), background) >= ratio) {
      high = middle;
    } else {
      low = middle;
    }
  }
  return Mix(wanted, extreme, high);
}

}  // namespace kestrun::ui::qt
