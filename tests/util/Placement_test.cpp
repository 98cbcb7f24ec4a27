#include <gtest/gtest.h>

#include "support/ScriptedWindowSystem.h"
#include "util/RuntimeError.h"
#include "util/SysUtilities.h"

namespace kestrun {
namespace {

struct TestForm : PlaceableForm {
  double left = -1, top = -1, width, height;
  int moves = 0;
  TestForm(double w, double h) : width(w), height(h) {}
  double Left() const override { return left; }
  double Top() const override { return top; }
  double Width() const override { return width; }
  double Height() const override { return height; }
  void Move(double l, double t) override {
    left = l;
    top = t;
    ++moves;
  }
};

class Placement : public ::testing::Test {
 protected:
  Placement() { windows.workArea = {true, 0, 0, 800, 570}; }  // 15 twips per pixel
  testing::ScriptedWindowSystem windows;
  SysUtilities sys;
};

TEST_F(Placement, CentreHalvesTowardZeroEvenWhenTheFormIsTooBig) {
  TestForm form(3000, 2000);
  sys.CenterForm(form);
  EXPECT_EQ(form.left, 4500);
  EXPECT_EQ(form.top, 3275);
  TestForm wide(13001, 2000);  // wider than the 12000-twip work area
  sys.CenterForm(wide);
  EXPECT_EQ(wide.left, -500);
  windows.workArea = {};  // the console: no work area counts as zeros
  TestForm console(3000, 2001);
  sys.CenterForm(console);
  EXPECT_EQ(console.top, -1000);
  windows.workArea = {true, 0, 0, 2000000000, 10};
  EXPECT_THROW(sys.CenterForm(console), RuntimeError);
}

TEST_F(Placement, CornersWithMarginOffsetsAndAnOffsetWorkArea) {
  windows.workArea = {true, 10, 20, 810, 590};  // 150, 300 twips in; 12000 x 8550 wide
  struct Row {
    int position;
    double left, top;
  } rows[] = {
      {0, 40 + 150 + 5, 40 + 300 + 7},
      {3, (12000 - 40) - 3000 + 150 + 5, (8550 - 40) - 2000 + 300 + 7},
      {4, 4500 + 150 + 5, 3275 + 300 + 7},
  };
  for (const Row& r : rows) {
    TestForm form(3000, 2000);
    sys.PositionForm(form, r.position, 40, 5, 7);
    EXPECT_EQ(form.left, r.left) << r.position;
    EXPECT_EQ(form.top, r.top) << r.position;
  }
  TestForm form(3000, 2000);
  sys.PositionForm(form, 5, 40, 0, 0);
  EXPECT_EQ(form.moves, 0);
}

}  // namespace
}  // namespace kestrun
