#include "util/SysUtilities.h"

#include <cmath>
#include <cstdint>

#include "platform/WindowSystem.h"
#include "util/RuntimeError.h"

namespace kestrun {

namespace {

// Pixels to twips, to the nearest 32-bit integer (halves to even, as the conversion always has).
double ToTwips(long pixels, double twipsPerPixel) {
  double twips = std::nearbyint(static_cast<double>(pixels) * twipsPerPixel);
  if (!(twips >= INT32_MIN && twips <= INT32_MAX)) Raise(err::Overflow);
  return twips;
}

}  // namespace

void SysUtilities::PositionForm(PlaceableForm& frm, int32_t position, int32_t margin, int32_t offsetX,
                                int32_t offsetY) {
  // A failed work-area query is no failure: the work area is then all zeros.
  double workLeft = 0, workTop = 0, workWidth = 0, workHeight = 0;
  platform::WindowSystem& windows = platform::Windows();
  const platform::WorkArea area = windows.GetWorkArea();
  if (area.Ok) {
    const double tppX = windows.TwipsPerPixelX();
    const double tppY = windows.TwipsPerPixelY();
    workLeft = ToTwips(area.Left, tppX);
    workTop = ToTwips(area.Top, tppY);
    workWidth = ToTwips(area.Right, tppX) - workLeft;
    workHeight = ToTwips(area.Bottom, tppY) - workTop;
  }

  const double nearLeft = margin + workLeft + offsetX;
  const double nearTop = margin + workTop + offsetY;
  const double farLeft = (workWidth - margin) - frm.Width() + workLeft + offsetX;
  const double farTop = (workHeight - margin) - frm.Height() + workTop + offsetY;
  switch (position) {
    case 0: frm.Move(nearLeft, nearTop); break;
    case 1: frm.Move(farLeft, nearTop); break;
    case 2: frm.Move(nearLeft, farTop); break;
    case 3: frm.Move(farLeft, farTop); break;
    case 4: {
      // Halved with the remainder dropped toward zero, after rounding the difference to a whole twip.
      const double left = std::trunc(std::nearbyint(workWidth - frm.Width()) / 2) + workLeft + offsetX;
      const double top = std::trunc(std::nearbyint(workHeight - frm.Height()) / 2) + workTop + offsetY;
      frm.Move(left, top);
      break;
    }
    default: break;
  }
}

void SysUtilities::CenterForm(PlaceableForm& frmActive) { PositionForm(frmActive, 4, 40, 0, 0); }

}  // namespace kestrun
