#include "util/SysUtilities.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>

#include "support/ScriptedWindowSystem.h"
#include "support/SystemFakes.h"
#include "util/RuntimeError.h"

namespace kestrun {
namespace {

using namespace std::string_literals;
using platform::DisplayMode;

class SysFacts : public ::testing::Test {
 protected:
  testing::FakeMachine machine;
  SysUtilities sys;
};

TEST_F(SysFacts, VersionNamesAndTheNineXBuildRule) {
  struct Row {
    int32_t platform, major, minor, build;
    std::string csd, text;
    int32_t buildNumber;
  } rows[] = {
      {1, 4, 0, 950, "", "Windows 95 V4.0.950 ", 950},
      {1, 4, 10, 0x040A0000 | 2222, " A ", "Windows 98 V4.10.2222  A ", 2222},
      {1, 4, 90, 0x045A0BB8, "", "Windows 9X V4.90.3000 ", 3000},
      {2, 5, 1, 2600, "Service Pack 1", "Windows NT V5.1.2600 Service Pack 1", 2600},
      {2, 10, 0, 0x0FFFFFFF, "", "Windows NT V10.0.268435455 ", 0x0FFFFFFF},  // kept whole off 9x
      {0, 1, 2, 3, "x\0hidden"s, "Win32s V1.2.3 x", 3},
      {platform::PlatformLinux, 6, 1, 0, "Debian GNU/Linux 12 (bookworm)",
       "Linux V6.1.0 Debian GNU/Linux 12 (bookworm)", 0},
      {3, 1, 0, 0, "", "Unknown V1.0.0 ", 0},
      {-7, -1, 0, -5, "", "Unknown V-1.0.-5 ", -5},
  };
  for (const Row& r : rows) {
    machine.version = {r.major, r.minor, r.build, r.platform, r.csd};
    EXPECT_EQ(sys.GetOSVersionString(), r.text);
    EXPECT_EQ(sys.GetBuildNumber(), r.buildNumber) << r.text;
    EXPECT_EQ(sys.GetCSDVersion(), r.csd.substr(0, r.csd.find('\0'))) << r.text;
  }
}

TEST_F(SysFacts, UpTimeShowsTheTrueDays) {
  const std::pair<int64_t, const char*> rows[] = {
      {0, "00:00:00"},
      {999, "00:00:00"},
      {59'999, "00:00:59"},
      {86'399'999, "23:59:59"},
      {86'400'000, "1 days 00:00:00"},
      {90'061'000, "1 days 01:01:01"},
      {INT32_MAX, "24 days 20:31:23"},
      {INT32_MAX + 3'600'000LL, "24 days 21:31:23"},
      {400LL * 86'400'000 + 5'025'000, "400 days 01:23:45"},
      {-5'000, "00:00:00"},
  };
  for (const auto& [ms, text] : rows) {
    machine.milliseconds = ms;
    EXPECT_EQ(sys.UpTime(), text) << ms;
  }
}

TEST_F(SysFacts, ErrorTextsFallBackForNumbersWithoutText) {
  EXPECT_EQ(sys.ApiErrorText(0), "Success");
  EXPECT_EQ(sys.ApiErrorText(2), "No such file or directory");
  for (int32_t n : {-1, 41, 134, 100000, INT32_MAX, INT32_MIN}) {
    EXPECT_EQ(sys.ApiErrorText(n), "Error (" + std::to_string(n) + ") not defined.");
  }
}

TEST_F(SysFacts, MachineNameIsSetOnlyWhenShortAndAHostName) {
  const std::pair<std::string, bool> rows[] = {
      {std::string(31, 'a'), true},
      {"kestrun-7.example", true},
      {std::string(32, 'a'), false},
      {"", false},
      {"two words", false},
      {"a..b", false},
      {"-lead", false},
      {"trail-", false},
      {"nul\0x"s, false},
      {"caf\xc3\xa9", false},
      {"a;reboot", false},
  };
  for (const auto& [name, asked] : rows) {
    machine.actions.clear();
    EXPECT_EQ(sys.SetMachineName(name), asked) << name;
    EXPECT_EQ(machine.actions.size(), asked ? 1u : 0u) << name;
  }
  machine.actionResult = false;  // refused, as for a user who is not root
  EXPECT_FALSE(sys.SetMachineName("host"));
}

TEST_F(SysFacts, DesktopActionsReachTheMachine) {
  sys.ShutDownWindows();
  sys.ShutDownWindows(true);
  sys.RestartWindows(true);
  sys.LogOffWindows();
  EXPECT_TRUE(sys.StartScreenSaver());
  for (int32_t state : {-1, 1, 2, 0, 3}) sys.PowerSaveMonitor(state);
  sys.Taskbar(false);
  sys.DisableCtrlAltDel(true);
  EXPECT_EQ(machine.actions,
            (std::vector<std::string>{"ShutDown", "ShutDown force", "Restart force", "LogOff", "StartScreenSaver",
                                      "Monitor on", "Monitor low", "Monitor off"}));
  machine.actionResult = false;
  EXPECT_FALSE(sys.StartScreenSaver());
  EXPECT_FALSE(sys.PowerSaveMonitor(2));
  EXPECT_FALSE(sys.PowerSaveMonitor(7));
}

TEST(SysUtilities, NegativeWaitsReturnAtOnce) {
  SysUtilities sys;
  for (int32_t ms : {-1, INT32_MIN, 0, 1}) sys.Wait(ms);  // -1 is "for ever" on Windows
}

TEST(SysUtilities, EncipheringTwiceGivesTheTextBack) {
  SysUtilities sys;
  const std::string rows[][2] = {
      {"", "key"},
      {"plain", ""},
      {"caf\xc3\xa9 \xe2\x82\xac", "Schl\xc3\xbcssel"},
      {"bin\0\xff\x01"s, "\xff\0"s},
      {std::string(32767, 'x'), std::string(32767, '\xfe')},
  };
  for (const auto& [text, key] : rows) {
    const std::string once = sys.EncipherString(text, key);
    EXPECT_EQ(once.size(), text.size());
    EXPECT_EQ(sys.EncipherString(once, key), text);
    if (text.size() > 4) {
      EXPECT_NE(once, text);
    }
  }
  EXPECT_NE(sys.EncipherString("same text", "key1"), sys.EncipherString("same text", "key2"));
  EXPECT_THROW(sys.EncipherString(std::string(32768, 'x'), "k"), RuntimeError);
  EXPECT_THROW(sys.EncipherString("x", std::string(32768, 'k')), RuntimeError);

  // The seed of "AB": "A" at shifts 0 and 17, "B" at shifts 9 and 10; the stream is the Mersenne
  // Twister's top eight bits.
  std::mt19937 stream(65 ^ (65 << 17) ^ (66 << 9) ^ (66 << 10));
  std::string expected;
  for (int i = 0; i < 8; ++i) expected += static_cast<char>(stream() >> 24);
  EXPECT_EQ(sys.EncipherString(std::string(8, '\0'), "AB"), expected);
}

TEST(SysUtilities, ScreenResolutionTakesTheFirstModeThatCanBeSet) {
  const DisplayMode a{800, 600, 32, 60}, b{1024, 768, 32, 60}, c{1024, 768, 32, 75}, d{1024, 768, 16, 85};
  struct Row {
    int32_t width, height, bits, frequency;
    bool useMax;
    int refused;
    bool result;
    int32_t frequencyAfter;
    std::vector<DisplayMode> requests;
  } rows[] = {
      {1024, 768, 32, 0, false, 0, true, 0, {b}},    {1024, 768, 32, 0, true, 0, true, 75, {c}},
      {1024, 768, 16, 60, true, 0, true, 85, {d}},   {1024, 768, 32, 75, false, 0, true, 75, {c}},
      {1024, 768, 32, 0, false, 1, true, 0, {b, c}}, {1024, 768, 32, 0, false, 5, false, 0, {b, c}},
      {1024, 768, 32, 70, false, 0, false, 70, {}},  {640, 480, 32, 60, true, 0, false, 0, {}},
  };
  for (const Row& r : rows) {
    testing::ScriptedWindowSystem windows;
    windows.displayModes = {a, b, c, d};
    windows.refusedModeChanges = r.refused;
    int32_t frequency = r.frequency;
    EXPECT_EQ(SysUtilities().ChangeScreenResolution(r.width, r.height, r.bits, frequency, r.useMax), r.result);
    EXPECT_EQ(frequency, r.frequencyAfter);
    EXPECT_EQ(windows.modeRequests, r.requests) << r.width << "x" << r.height << "x" << r.bits;
  }
  testing::ScriptedWindowSystem console;  // no modes at all
  EXPECT_FALSE(SysUtilities().ChangeScreenResolution(800, 600, 32));
}

TEST(SysUtilities, AboutboxNamesTheProgramAndItsAuthor) {
  struct Form : PlaceableForm {
    double Left() const override { return 0; }
    double Top() const override { return 0; }
    double Width() const override { return 0; }
    double Height() const override { return 0; }
    void Move(double, double) override {}
  } form;
  testing::ScriptedWindowSystem windows;
  SysUtilities().Aboutbox(form);
  ASSERT_EQ(windows.boxes.size(), 1u);
  EXPECT_EQ(windows.boxes[0].caption, "About Kestrun 1.00.00");
  EXPECT_EQ(windows.boxes[0].prompt, "Kestrun 1.00.00\nWritten by Ambervale.");
}

}  // namespace
}  // namespace kestrun
