#pragma once
#include <cmath>

#include "util/PlaceableForm.h"

namespace kestrun::ui {

// A window's view as the placement helper sees it: its outer rectangle in twips. Works for every view
// that offers WindowRect and MoveWindow (the main window's, the About box's).
template <class View>
class ViewPlacement final : public PlaceableForm {
 public:
  explicit ViewPlacement(View& view) : view_(view) {}
  double Left() const override { return static_cast<double>(view_.WindowRect().Left); }
  double Top() const override { return static_cast<double>(view_.WindowRect().Top); }
  double Width() const override { return static_cast<double>(view_.WindowRect().Width); }
  double Height() const override { return static_cast<double>(view_.WindowRect().Height); }
  void Move(double left, double top) override { view_.MoveWindow(std::lround(left), std::lround(top)); }

 private:
  View& view_;
};

}  // namespace kestrun::ui
