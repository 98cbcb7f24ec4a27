#pragma once
#include <cstdint>

#include "util/PlaceableForm.h"

namespace kestrun {

// Operating-system queries and actions. Stateless: every user creates its own instance.
class SysUtilities {
 public:
  // Window placement on the desktop work area (the screen less the task bar).
  // Positions: 0 top left, 1 top right, 2 bottom left, 3 bottom right, 4 centre; any other leaves the
  // form where it is. The margin keeps the form off the work area's edges (it does not apply to the
  // centre); the offsets move the result.
  void PositionForm(PlaceableForm& frm, int32_t position, int32_t margin, int32_t offsetX, int32_t offsetY);
  void CenterForm(PlaceableForm& frmActive);
};

}  // namespace kestrun
