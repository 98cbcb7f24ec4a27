#include "registry/RegUtilities.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RegistryTestSupport.h"
#include "util/RuntimeError.h"

namespace kestrun::testing {
namespace {

using namespace regtest;
using namespace std::string_literals;

TEST(RegUtilitiesPaths, SplitsHivePaths) {
  struct Row {
    std::string hive, root, branch;
    std::uint32_t handle;
  };
  RegUtilities ru;
  for (const Row& r : std::vector<Row>{
           {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun", "HKEY_LOCAL_MACHINE", "SOFTWARE\\Ambervale\\Kestrun",
            0x80000002u},
           {"HKEY_LOCAL_MACHINE\\\\\\SOFTWARE", "HKEY_LOCAL_MACHINE", "SOFTWARE", 0x80000002u},
           {"HKEY_USERS\\x", "HKEY_USERS", "x", 0x80000003u},
           {"hkey_local_machine\\x", "hkey_local_machine", "x", 0},
           {"HKLM\\SOFTWARE", "HKLM", "SOFTWARE", 0},
           {"\\SOFTWARE", "", "SOFTWARE", 0},
           {"", "", "", 0},
       }) {
    EXPECT_EQ(ru.GetRootKey(r.hive), r.root) << r.hive;
    EXPECT_EQ(ru.GetBranch(r.hive), r.branch) << r.hive;
    EXPECT_EQ(ru.GetPredefinedRootKey(r.hive), r.handle) << r.hive;
  }
}

TEST_F(RegUtilitiesTest, RefusesTextFormsOf128CharactersOrMore) {
  ru.SetKeyValue(AppKey, "Ok", std::string(127, 'a'));
  ru.SetKeyValue(AppKey, "Umlauts", "\xc3\xbc" + std::string(126, 'a'));  // 127 characters in 128 bytes
  EXPECT_TRUE(ws.boxes.empty());
  EXPECT_EQ(ru.GetKeyValue(AppKey, "Ok", ""), std::string(127, 'a'));

  ru.SetKeyValue("HKEY_CURRENT_USER\\Fresh", "Long", std::string(128, 'a'));
  EXPECT_EQ(Prompts(),
            std::vector<std::string>{"Registry setting to long :  128\r\nFor Key: Fresh\r\nFor Variable: Long"});
  reg::HKEY h = 0;
  EXPECT_EQ(reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, "Fresh", 0, reg::KEY_READ, &h), 2);  // nothing was opened
}

TEST_F(RegUtilitiesTest, ConvertsValuesPerType) {
  struct Row {
    const char* name;
    RegSetting value;
    const char* type;
    reg::DWORD code;
    std::string stored;
    std::string readBack;
  };
  for (const Row& r : std::vector<Row>{
           {"Text", "abc", "REG_SZ", reg::REG_SZ, "abc\0"s, "abc"},
           {"Expand", "%HOME%", "REG_EXPAND_SZ", reg::REG_EXPAND_SZ, "%HOME%\0"s, "%HOME%"},
           {"Binary", "abc", "REG_BINARY", reg::REG_BINARY, "abc", "ab"},
           {"Twelve", "12", "REG_DWORD", reg::REG_DWORD, "\x0c\0\0\0"s, "12"},
           {"Half", 2.5, "REG_DWORD", reg::REG_DWORD, "\2\0\0\0"s, "2"},
           {"Minus", -1, "REG_DWORD", reg::REG_DWORD, "\xff\xff\xff\xff"s, "-1"},
           {"Number", 3.5, "REG_SZ", reg::REG_SZ, "3.5\0"s, "3.5"},
       }) {
    ru.SetKeyValue(AppKey, r.name, r.value, r.type);
    Read raw = GetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch, r.name);
    EXPECT_EQ(raw.type, r.code) << r.name;
    EXPECT_EQ(raw.data, r.stored) << r.name;
    EXPECT_EQ(ru.GetKeyValue(AppKey, r.name, "dflt"), r.readBack) << r.name;
    EXPECT_EQ(ru.GetKeyType(AppKey, r.name), static_cast<int>(r.code)) << r.name;
  }
  EXPECT_TRUE(ws.boxes.empty());
}

TEST_F(RegUtilitiesTest, ConversionFailuresAndUnknownTypeNamesWriteNothing) {
  ru.SetKeyValue(AppKey, "Bad", "abc", "REG_DWORD");
  ru.SetKeyValue(AppKey, "Big", 3e9, "REG_DWORD");
  for (const char* type : {"reg_sz", "REG_MULTI_SZ", "REG_SZ "}) ru.SetKeyValue(AppKey, type, "x", type);
  EXPECT_EQ(Prompts(), (std::vector<std::string>{Report("SetKeyValue", 13, "Type mismatch"),
                                                 Report("SetKeyValue", 6, "Overflow")}));
  EXPECT_FALSE(std::filesystem::exists(sandbox.RegistryFile()));  // not even an empty key was made
  for (const char* name : {"Bad", "Big", "reg_sz", "REG_MULTI_SZ", "REG_SZ "})
    EXPECT_EQ(ru.GetKeyType(AppKey, name), -1);
}

TEST_F(RegUtilitiesTest, ReadsGiveTheDefaultOnlyWhenThereIsNothingToRead) {
  // Reading creates nothing: not the store's folder, not a lock file beside the store.
  for (const auto& store : {sandbox.Root() / "sub" / "registry.reg", sandbox.RegistryFile()}) {
    ::setenv("KESTRUN_REGISTRY", store.c_str(), 1);
    EXPECT_EQ(ru.GetKeyValue(AppKey, "HostName", "dflt"), "dflt");
    EXPECT_EQ(ru.GetKeyType(AppKey, "HostName"), -1);
    EXPECT_TRUE(std::filesystem::is_empty(sandbox.Root())) << store;
  }
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch, "NoData", reg::REG_SZ, ""), 0);
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch, "Multi", reg::REG_MULTI_SZ, "a\0b\0\0"s), 0);
  EXPECT_EQ(ru.GetKeyValue(AppKey, "NoData", "dflt"), "");
  EXPECT_EQ(ru.GetKeyValue(AppKey, "Multi", "dflt"), "a\0b\0"s);
  EXPECT_EQ(ru.GetKeyValue(AppKey + "\\Missing", "x", "dflt"), "dflt");
  EXPECT_EQ(ru.GetKeyValue("HKLM\\SOFTWARE\\Ambervale\\Kestrun", "NoData", "dflt"), "dflt");
  EXPECT_EQ(ru.GetKeyType(AppKey, "Missing"), -1);
  EXPECT_TRUE(ws.boxes.empty());
  // A type it cannot read is reported, and reads as the default.
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch, "Q", reg::REG_QWORD, "12345678"), 0);
  EXPECT_EQ(ru.GetKeyValue(AppKey, "Q", "dflt"), "dflt");
  EXPECT_EQ(Prompts(), std::vector<std::string>{"Illegal RegType: 11"});
  EXPECT_EQ(ru.GetKeyType(AppKey, "Q"), 11);
}

TEST_F(RegUtilitiesTest, WriteFailuresAreReportedWithTheStoreStatus) {
  const auto failed = [](int status, const std::string& key) {
    return "Error updating registry:  " + std::to_string(status) + "\r\nFor keyname: " + key + "\r\nFor variable: v";
  };
  ru.SetKeyValue("HKLM\\SOFTWARE\\X", "v", "1");
  sandbox.WriteFile("registry.reg", "not a registry\n");
  ru.SetKeyValue(AppKey, "v", "1");
  EXPECT_EQ(ru.GetKeyValue(AppKey, "v", "dflt"), "dflt");
  EXPECT_EQ(Sandbox::ReadFile(sandbox.RegistryFile()), "not a registry\n");
  sandbox.WriteFile("blocker", "");
  ::setenv("KESTRUN_REGISTRY", (sandbox.Root() / "blocker" / "registry.reg").c_str(), 1);
  ru.SetKeyValue(AppKey, "v", "1");
  std::vector<std::string> expected = {failed(6, "SOFTWARE\\X"), failed(1009, AppBranch), failed(3, AppBranch)};
  // /sys refuses new folders even to root, which ordinary permissions would not.
  if (!std::filesystem::exists("/sys/kestrun-test") && std::filesystem::is_directory("/sys/kernel")) {
    ::setenv("KESTRUN_REGISTRY", "/sys/kestrun-test/registry.reg", 1);
    ru.SetKeyValue(AppKey, "v", "1");
    expected.push_back(failed(5, AppBranch));
  }
  EXPECT_EQ(Prompts(), expected);
}

TEST_F(RegUtilitiesTest, ADateTimeIsStoredInTheGeneralDateFormat) {
  const std::string previous = getenv("LC_ALL") ? getenv("LC_ALL") : "";
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(GeneralDateText({2025, 3, 14, 0, 0, 0}), "03/14/2025");
  EXPECT_EQ(GeneralDateText({1899, 12, 30, 8, 0, 0}), "08:00:00");
  ru.SetKeyValue(AppKey, "LatestRunDate", LocalDateTime{2024, 12, 31, 23, 59, 58});
  EXPECT_EQ(ru.GetKeyValue(AppKey, "LatestRunDate", ""), "12/31/2024 23:59:58");
  previous.empty() ? ::unsetenv("LC_ALL") : ::setenv("LC_ALL", previous.c_str(), 1);
}

TEST(RegSetting, ConvertsToTextAndToLong) {
  struct Row {
    RegSetting value;
    std::string text;
    long long number;  // the 32-bit integer, or -(error number) when the conversion raises
  };
  for (const Row& r : std::vector<Row>{
           {"12", "12", 12},
           {"2.5", "2.5", 2},
           {"3.5", "3.5", 4},
           {"&HFFFFFFFF", "&HFFFFFFFF", -1},
           {"&O17", "&O17", 15},
           {"abc", "abc", -13},
           {"12abc", "12abc", -13},
           {"3000000000", "3000000000", -6},
           {"&H100000000", "&H100000000", -6},
           {1LL << 40, "1099511627776", -6},
           {12.0, "12", 12},
           {1e20, "1E+20", -6},
       }) {
    EXPECT_EQ(r.value.Text(), r.text);
    long long got = 0;
    try {
      got = r.value.ToLong();
    } catch (const RuntimeError& e) {
      got = -e.Number();
    }
    EXPECT_EQ(got, r.number) << r.text;
  }
}

}  // namespace
}  // namespace kestrun::testing
