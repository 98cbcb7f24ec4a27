#include "util/SysUtilities.h"

#include <gtest/gtest.h>

#include <tuple>

#include "support/ScriptedWindowSystem.h"
#include "support/SystemFakes.h"
#include "util/RuntimeError.h"

namespace kestrun {
namespace {

using namespace std::string_literals;

TEST(SysUtilities, VersionNamesAndTheNineXBuildRule) {
  testing::FakeMachine machine;
  const std::tuple<platform::VersionRecord, std::string, int32_t> rows[] = {
      {{4, 0, 950, 1, ""}, "Windows 95 V4.0.950 ", 950},
      {{4, 10, 0x040A0000 | 2222, 1, " A "}, "Windows 98 V4.10.2222  A ", 2222},  // 9x: the low 12 bits only
      {{4, 90, 0x045A0BB8, 1, ""}, "Windows 9X V4.90.3000 ", 3000},
      {{5, 1, 0x0FFFFFFF, 2, "Service Pack 1"}, "Windows NT V5.1.268435455 Service Pack 1", 0x0FFFFFFF},
      {{1, 2, 3, 0, "x\0hidden"s}, "Win32s V1.2.3 x", 3},
      {{6, 1, 0, platform::PlatformLinux, "Debian GNU/Linux 12"}, "Linux V6.1.0 Debian GNU/Linux 12", 0},
      {{-1, 0, -5, 3, ""}, "Unknown V-1.0.-5 ", -5}};
  SysUtilities sys;
  for (const auto& [record, text, build] : rows) {
    machine.version = record;
    EXPECT_EQ(sys.GetOSVersionString(), text);
    EXPECT_EQ(sys.GetBuildNumber(), build) << text;
  }
  machine.version.CSDVersion = "x\0hidden"s;
  EXPECT_EQ(sys.GetCSDVersion(), "x");
}

TEST(SysUtilities, UpTimeShowsTheTrueDays) {
  testing::FakeMachine machine;
  // clang-format off
  const std::pair<int64_t, const char*> rows[] = {
      {999, "00:00:00"}, {59'999, "00:00:59"}, {86'399'999, "23:59:59"}, {90'061'000, "1 days 01:01:01"},
      {400LL * 86'400'000 + 5'025'000, "400 days 01:23:45"}, {-5'000, "00:00:00"}};
  // clang-format on
  for (const auto& [ms, text] : rows) {
    machine.milliseconds = ms;
    EXPECT_EQ(SysUtilities().UpTime(), text) << ms;
  }
}

TEST(SysUtilities, ErrorTextsFallBackForNumbersWithoutText) {
  SysUtilities sys;
  EXPECT_EQ(sys.ApiErrorText(0), "Success");
  for (int32_t n : {-1, 41, 134, INT32_MAX, INT32_MIN})
    EXPECT_EQ(sys.ApiErrorText(n), "Error (" + std::to_string(n) + ") not defined.");
}

TEST(SysUtilities, MachineNameIsSetOnlyWhenShortAndAHostName) {
  testing::FakeMachine machine;
  const std::string rows[] = {std::string(32, 'a'), "",        "two words", "a..b", "-lead", "trail-", "nul\0x"s,
                              "caf\xc3\xa9",        "a;reboot"};
  for (const std::string& name : rows) EXPECT_FALSE(SysUtilities().SetMachineName(name)) << name;
  EXPECT_TRUE(machine.actions.empty());
  EXPECT_TRUE(SysUtilities().SetMachineName(std::string(31, 'a')));
  EXPECT_TRUE(SysUtilities().SetMachineName("kestrun-7.example"));
  machine.actionResult = false;  // refused, as for a user who is not root
  EXPECT_FALSE(SysUtilities().SetMachineName("host"));
  EXPECT_EQ(machine.actions.size(), 3u);
}

TEST(SysUtilities, EncipheringTwiceGivesTheTextBack) {
  SysUtilities sys;
  for (int32_t ms : {-1, INT32_MIN, 0}) sys.Wait(ms);  // -1 would be "for ever" on Windows
  const std::string rows[][2] = {{"", "key"},
                                 {"plain text", ""},
                                 {"caf\xc3\xa9 \0\xff"s, "Schl\xc3\xbcssel\0"s},
                                 {std::string(32767, 'x'), std::string(32767, '\xfe')}};
  for (const auto& [text, key] : rows) {
    const std::string once = sys.EncipherString(text, key);
    EXPECT_EQ(sys.EncipherString(once, key), text);
    EXPECT_TRUE(text.empty() || once != text);
  }
  EXPECT_NE(sys.EncipherString("same text", "key1"), sys.EncipherString("same text", "key2"));
  EXPECT_THROW(sys.EncipherString(std::string(32768, 'x'), "k"), RuntimeError);
  EXPECT_THROW(sys.EncipherString("x", std::string(32768, 'k')), RuntimeError);
  // Texts enciphered by earlier versions are stored in settings: the key stream must never change.
  EXPECT_EQ(sys.EncipherString(std::string(8, '\0'), "AB"), "\x37\x0E\x9D\xF6\x26\x5C\xFA\x2B");
}

TEST(SysUtilities, ScreenResolutionTakesTheFirstModeThatCanBeSet) {
  using platform::DisplayMode;
  const DisplayMode a{800, 600, 32, 60}, b{1024, 768, 32, 60}, c{1024, 768, 32, 75}, d{1024, 768, 16, 85};
  // width, bits, frequency asked, highest frequency, changes refused, result, frequency after, modes asked
  const std::tuple<int32_t, int32_t, int32_t, bool, int, bool, int32_t, std::vector<DisplayMode>> rows[] = {
      {1024, 32, 0, false, 0, true, 0, {b}},
      {1024, 16, 60, true, 0, true, 85, {d}},    // the highest frequency, whatever was asked
      {1024, 32, 0, false, 1, true, 0, {b, c}},  // refused: the next that fits
      {1024, 32, 75, false, 5, false, 75, {c}},
      {640, 32, 60, true, 0, false, 0, {}}};
  for (const auto& [width, bits, asked, useMax, refused, result, frequencyAfter, requests] : rows) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(bits) + "@" + std::to_string(asked));
    testing::ScriptedWindowSystem windows;
    windows.displayModes = {a, b, c, d};
    windows.refusedModeChanges = refused;
    int32_t frequency = asked;
    EXPECT_EQ(SysUtilities().ChangeScreenResolution(width, width * 3 / 4, bits, frequency, useMax), result);
    EXPECT_EQ(frequency, frequencyAfter);
    EXPECT_EQ(windows.modeRequests, requests);
  }
}

struct TestForm : PlaceableForm {
  double left = -1, top = -1, width, height;
  TestForm(double w, double h) : width(w), height(h) {}
  double Left() const override { return left; }
  double Top() const override { return top; }
  double Width() const override { return width; }
  double Height() const override { return height; }
  void Move(double l, double t) override {
    left = l;
    top = t;
  }
};

TEST(Placement, CentreHalvesTowardZeroEvenWhenTheFormIsTooBig) {
  testing::ScriptedWindowSystem windows;
  windows.workArea = {true, 0, 0, 800, 570};  // 15 twips per pixel
  const std::tuple<double, double, double, double> rows[] = {
      {3000, 2000, 4500, 3275}, {13001, 2000, -500, 3275}};  // the second is wider than the work area
  for (const auto& [width, height, left, top] : rows) {
    TestForm form(width, height);
    SysUtilities().CenterForm(form);
    EXPECT_EQ(form.left, left);
    EXPECT_EQ(form.top, top);
  }
  windows.workArea = {};  // the console: no work area counts as zeros
  TestForm console(3000, 2001);
  SysUtilities().CenterForm(console);
  EXPECT_EQ(console.top, -1000);
  windows.workArea = {true, 0, 0, 2000000000, 10};
  EXPECT_THROW(SysUtilities().CenterForm(console), RuntimeError);
}

TEST(Placement, CornersWithMarginOffsetsAndAnOffsetWorkArea) {
  testing::ScriptedWindowSystem windows;
  windows.workArea = {true, 10, 20, 810, 590};  // 150, 300 twips in; 12000 x 8550 wide
  const std::tuple<int, double, double> rows[] = {{0, 40 + 150 + 5, 40 + 300 + 7},
                                                  {3, (12000 - 40) - 3000 + 150 + 5, (8550 - 40) - 2000 + 300 + 7},
                                                  {4, 4500 + 150 + 5, 3275 + 300 + 7},
                                                  {5, -1, -1}};  // no such position: the form stays
  for (const auto& [position, left, top] : rows) {
    TestForm form(3000, 2000);
    SysUtilities().PositionForm(form, position, 40, 5, 7);
    EXPECT_EQ(form.left, left) << position;
    EXPECT_EQ(form.top, top) << position;
  }
}

}  // namespace
}  // namespace kestrun
