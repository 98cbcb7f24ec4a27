#pragma once
#include "platform/WindowSystem.h"

namespace kestrun {

// A window that can be placed on the desktop. Measures are in twips; a twip is 1/1440 of a logical inch.
class PlaceableForm {
 public:
  virtual ~PlaceableForm() = default;
  virtual double Left() const = 0;
  virtual double Top() const = 0;
  virtual double Width() const = 0;
  virtual double Height() const = 0;
  // Moves the window's left and top edges; its size stays.
  virtual void Move(double left, double top) = 0;
  // The window as the window system knows it, for stacking it and owning dialogs; null when it has none.
  virtual platform::WindowHandle Handle() const { return nullptr; }
};

}  // namespace kestrun
