// Hand-edited and damaged store files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RegistryTestSupport.h"
#include "support/Sandbox.h"

namespace kestrun::testing {
namespace {

using namespace regtest;
using namespace std::string_literals;

TEST(RegistryFile, ADamagedFileReadsAsNothingAndIsNeverOverwritten) {
  const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n";
  const std::vector<std::pair<const char*, std::string>> rows = {
      {"garbage line", head + "this is not a registry line\n"},
      {"missing header", "[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n"},
      {"the other editor's header", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n"},
      {"UTF-16 file", "\xff\xfeR\0E\0G\0"s},
      {"truncated inside a text", head + "\"y\"=\"unterminated"},
      {"value outside any key", "REGEDIT4\n\"x\"=\"1\"\n"},
      {"binary junk", head + "\x01\x02\0\x7f\x80"s},
      {"stray CR", head + "\"y\"=\"a\rb\"\n"},
      {"unknown escape", head + "\"y\"=\"a\\qb\"\n"},
      {"hex byte of three digits", head + "\"y\"=hex:123\n"},
      {"dword too long", head + "\"y\"=dword:123456789\n"},
      {"unknown root", head + "[HKEY_NOWHERE\\B]\n"},
      {"key name too long", head + "[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n"},
      {"deleting a root", head + "[-HKEY_CURRENT_USER]\n"},
  };
  for (const auto& [what, content] : rows) {
    Sandbox sandbox;
    auto file = sandbox.WriteFile("registry.reg", content);
    EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "A", "x").status, reg::ERROR_BADDB) << what;
    EXPECT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "A", "x", reg::REG_SZ, "2\0"s), reg::ERROR_BADDB) << what;
    EXPECT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "New", "x", reg::REG_SZ, "2\0"s), reg::ERROR_BADDB) << what;
    EXPECT_EQ(reg::RegDeleteKey(reg::HKEY_CURRENT_USER, "A"), reg::ERROR_BADDB) << what;
    EXPECT_EQ(Sandbox::ReadFile(file), content) << what << ": the file is left byte for byte";
  }
}

TEST(RegistryFile, ReadsARegistryEditorExportAsWindowsWould) {
  Sandbox sandbox;
  sandbox.WriteFile("registry.reg",
                    "\xEF\xBB\xBFREGEDIT4\r\n"
                    "\r\n"
                    "; exported settings\r\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\r\n"
                    "\"HostName\"=\"ftp.example.com\"\r\n"
                    "@=\"default\"\r\n"
                    "\"Count\"=dword:0000000C\r\n"
                    "\"Expand\"=hex(2):25,54,45,4d,50,25,5c,78,\\\r\n"
                    "  00\r\n"
                    "\"Multi\"=hex(7):61,00,62,00,\\\r\n"
                    "  00\r\n"
                    "\"Gone\"=\"soon\"\r\n"
                    "\"Gone\"=-\r\n"
                    "\"Twice\"=\"first\"\r\n"
                    "\r\n"
                    "[hkey_local_machine\\software\\ambervale\\kestrun]\r\n"
                    "\"TWICE\"=\"second\"\r\n"
                    "\"Empty\"=hex:\r\n"
                    "\r\n"
                    "[HKEY_CURRENT_USER\\Doomed\\Child]\r\n"
                    "\"v\"=\"1\"\r\n"
                    "[-HKEY_CURRENT_USER\\Doomed]\r\n"
                    "\r\n");
  const std::string key = "SOFTWARE\\Ambervale\\Kestrun";
  struct Expect {
    const char* name;
    reg::DWORD type;
    std::string data;
  };
  for (const Expect& e : std::vector<Expect>{{"HostName", reg::REG_SZ, "ftp.example.com\0"s},
                                             {"", reg::REG_SZ, "default\0"s},
                                             {"Count", reg::REG_DWORD, "\x0c\0\0\0"s},
                                             {"Expand", reg::REG_EXPAND_SZ, "%TEMP%\\x\0"s},
                                             {"Multi", reg::REG_MULTI_SZ, "a\0b\0\0"s},
                                             {"Twice", reg::REG_SZ, "second\0"s},
                                             {"Empty", reg::REG_BINARY, ""}}) {
    Read r = GetRaw(reg::HKEY_LOCAL_MACHINE, key, e.name);
    EXPECT_EQ(r.status, 0) << e.name;
    EXPECT_EQ(r.type, e.type) << e.name;
    EXPECT_EQ(r.data, e.data) << e.name;
  }
  EXPECT_EQ(GetRaw(reg::HKEY_LOCAL_MACHINE, key, "Gone").status, 2);
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "Doomed", "v").status, 2);

  // The value replaced by the second section keeps its place in the listing.
  reg::HKEY h = 0;
  ASSERT_EQ(reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE, key, 0, reg::KEY_READ, &h), 0);
  char name[32];
  reg::DWORD len = sizeof name;
  ASSERT_EQ(reg::RegEnumValue(h, 5, name, &len, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(std::string(name, len), "Twice");
  reg::RegCloseKey(h);

  // A change rewrites it in the store's own form, keeping every value.
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, key, "New", reg::REG_SZ, "n\0"s), 0);
  EXPECT_EQ(GetRaw(reg::HKEY_LOCAL_MACHINE, key, "Multi").data, "a\0b\0\0"s);
}

TEST(RegistryFile, AnEmptyOrBlankFileIsAnEmptyRegistry) {
  for (const char* content : {"", "\n\n  \r\n", "REGEDIT4\n"}) {
    Sandbox sandbox;
    sandbox.WriteFile("registry.reg", content);
    reg::HKEY h = 0;
    EXPECT_EQ(reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, "A", 0, reg::KEY_READ, &h), 2);
    EXPECT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "A", "v", reg::REG_SZ, "\0"s), 0);
  }
}

// Large and hostile files must neither crash nor hang; the ctest time-out catches a hang, and the work
// is linear, so these take well under a second each.
TEST(RegistryFile, LargeAndHostileFilesStayLinear) {
  Sandbox sandbox;
  std::string big = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Big]\n";
  for (int i = 0; big.size() < 10'000'000; ++i) big += "\"value" + std::to_string(i) + "\"=\"some text here\"\n";
  for (int i = 0; i < 100'000; ++i) big += "\"value" + std::to_string(i) + "\"=-\n";
  sandbox.WriteFile("registry.reg", big);
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "Big", "value200000").data, "some text here\0"s);
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "Big", "value5").status, 2);
  EXPECT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "Big", "value5", reg::REG_SZ, "back\0"s), 0);

  const std::vector<std::string> hostile = {
      std::string(10'000'000, 'x'),
      "REGEDIT4\n[HKEY_CURRENT_USER\\" + std::string(10'000'000, '\\') + "]\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:" + std::string(10'000'000, ',') + "\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"" + std::string(10'000'000, '\\'),
  };
  std::string deep = "REGEDIT4\n[HKEY_CURRENT_USER";
  for (int i = 0; i < 600; ++i) deep += "\\k";
  for (const std::string& content : {hostile[0], hostile[1], hostile[2], hostile[3], deep + "]\n"}) {
    sandbox.WriteFile("registry.reg", content);
    EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "A", "v").status, reg::ERROR_BADDB);
  }
  // The deepest key the store allows, and a long continued hex list, are fine.
  std::string deepest = "REGEDIT4\n[HKEY_CURRENT_USER";
  std::string path;
  for (int i = 0; i < 512; ++i) path += (i ? "\\k" : "k");
  std::string longHex = "REGEDIT4\n[HKEY_CURRENT_USER\\" + path + "]\n\"v\"=hex:";
  for (int i = 0; i < 1'000'000; ++i) longHex += "41,\\\n  ";
  longHex += "41\n";
  sandbox.WriteFile("registry.reg", longHex);
  Read r = GetRaw(reg::HKEY_CURRENT_USER, path, "v");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.data == std::string(1'000'001, 'A')) << r.data.size() << " bytes";
}

}  // namespace
}  // namespace kestrun::testing
