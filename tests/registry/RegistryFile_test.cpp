// Hand-edited and damaged store files.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "RegistryTestSupport.h"
#include "app/AppMain.h"
#include "app/Application.h"
#include "support/HeadlessMainView.h"
#include "ui/frmMain.h"

namespace kestrun::testing {
namespace {

using namespace regtest;
using namespace std::string_literals;

// The registry editor's export format: UTF-16LE after a byte-order mark.
std::string Utf16(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// Values the program's key must hold, each read afresh through the registry functions.
struct Expect {
  const char* name;
  reg::DWORD type;
  std::string data;
};
void ExpectAppValues(const std::vector<Expect>& values, const char* context = "") {
  for (const Expect& e : values) {
    Read r = GetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch, e.name);
    EXPECT_EQ(std::tie(r.status, r.type, r.data), std::make_tuple(0, e.type, e.data)) << context << " " << e.name;
  }
}

// Every kind of damage leaves the file as it is, and the program can say where and what it is.
TEST(RegistryFile, ADamagedFileReadsAsNothingIsNeverOverwrittenAndSaysWhereItIsWrong) {
  const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n";
  const std::u16string head5 = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n";
  struct Row {
    const char* what;
    std::string content;
    int line;
    const char* says;
  };
  const std::vector<Row> rows = {
      {"garbage line", head + "this is not a registry line\n", 5, "neither a key, a value nor a comment"},
      {"missing header", "[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n", 1, "begins with neither \"REGEDIT4\""},
      {"the other editor's header in UTF-8", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n", 1,
       "not UTF-16"},
      {"UTF-16 headed otherwise", Utf16(u"REGEDIT4\r\n"), 1, "does not begin with \"Windows Registry Editor"},
      {"half a UTF-16 character", Utf16(head5) + "A", 4, "half a UTF-16 character"},
      {"unpaired surrogate", Utf16(head5 + u"\"x\"=\"") + "\x3d\xd8" + Utf16(u"\"\r\n").substr(2), 4, "surrogate"},
      {"hex(2) text that is not UTF-16", Utf16(head5 + u"\"x\"=hex(2):41,00,\\\r\n  42\r\n"), 4, "hex(2)"},
      {"truncated inside a text", head + "\"y\"=\"unterminated", 5, "without its closing quote"},
      {"value outside any key", "REGEDIT4\n\"x\"=\"1\"\n", 2, "a value before the first key"},
      {"binary junk", head + "\x01\x02\0\x7f\x80"s, 5, "control character (code 1)"},
      {"stray CR", head + "\"y\"=\"a\rb\"\n", 5, "control character (code 13)"},
      {"unknown escape", head + "\"y\"=\"a\\qb\"\n", 5, "backslash"},
      {"hex byte of three digits", head + "\"y\"=hex:123\n", 5, "hex list"},
      {"hex list past the end", head + "\"y\"=hex:12,\\\n", 5, "past the end"},
      {"dword too long", head + "\"y\"=dword:123456789\n", 5, "dword"},
      {"unknown root", head + "[HKEY_NOWHERE\\B]\n", 5, "unknown root key \"HKEY_NOWHERE\""},
      {"key name too long", head + "[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n", 5, "over 255 bytes"},
      {"deleting a root", head + "[-HKEY_CURRENT_USER]\n", 5, "root key cannot be deleted"},
  };
  for (const Row& r : rows) {
    Sandbox sandbox;
    auto file = sandbox.WriteFile("registry.reg", r.content);
    EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "A", "x").status, reg::ERROR_BADDB) << r.what;
    EXPECT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "A", "x", reg::REG_SZ, "2\0"s), reg::ERROR_BADDB) << r.what;
    EXPECT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "New", "x", reg::REG_SZ, "2\0"s), reg::ERROR_BADDB) << r.what;
    EXPECT_EQ(reg::RegDeleteKey(reg::HKEY_CURRENT_USER, "A"), reg::ERROR_BADDB) << r.what;
    EXPECT_EQ(Sandbox::ReadFile(file), r.content) << r.what << ": the file is left byte for byte";
    const std::string damage = reg::StoreDamage();
    EXPECT_EQ(damage.find("The settings store " + file.string() + " cannot be read, line " + std::to_string(r.line) +
                          ": "),
              0u)
        << r.what << ": " << damage;
    EXPECT_NE(damage.find(r.says), std::string::npos) << r.what << ": " << damage;
  }
  // A missing, empty or blank file is an empty registry, and takes writes.
  Sandbox sandbox;
  EXPECT_EQ(reg::StoreDamage(), "");
  for (const std::string& content : {""s, "\n\n  \r\n"s, "REGEDIT4\n"s, Utf16(u""), head}) {
    sandbox.WriteFile("registry.reg", content);
    EXPECT_EQ(reg::StoreDamage(), "") << content;
    EXPECT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "B", "v", reg::REG_SZ, "\0"s), 0) << content;
  }
}

// Said once, in a red line of the log, while every write to the store still fails with its own box.
TEST(RegistryFile, TheProgramSaysOnceWhereTheStoreIsDamaged) {
  Sandbox sandbox;
  ScriptedWindowSystem ws;
  CatchProgramEnd catcher;
  sandbox.WriteFile("registry.reg", "REGEDIT4\n[" + AppKey + "]\nHostName=ftp\n");
  Application app("/?");
  ::testing::internal::CaptureStdout();
  EXPECT_THROW(app.Execute(), ProgramEnded);
  ::testing::internal::GetCapturedStdout();
  std::vector<std::string> red;
  for (const auto& piece : dynamic_cast<testing::HeadlessMainView&>(app.AM().frm().View()).Log()) {
    if (piece.color == platform::ColorRed) red.push_back(piece.text);
  }
  EXPECT_EQ(red, std::vector<std::string>{reg::StoreDamage() + "\r\n"});
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
  const std::string& key = AppBranch;
  ExpectAppValues({{"HostName", reg::REG_SZ, "ftp.example.com\0"s},
                   {"", reg::REG_SZ, "default\0"s},
                   {"Count", reg::REG_DWORD, "\x0c\0\0\0"s},
                   {"Expand", reg::REG_EXPAND_SZ, "%TEMP%\\x\0"s},
                   {"Multi", reg::REG_MULTI_SZ, "a\0b\0\0"s},
                   {"Twice", reg::REG_SZ, "second\0"s},
                   {"Empty", reg::REG_BINARY, ""}});
  EXPECT_EQ(GetRaw(reg::HKEY_LOCAL_MACHINE, key, "Gone").status, 2);
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "Doomed", "v").status, 2);

  // The value replaced by the second section keeps its place in the listing.
  EXPECT_EQ(Listed(reg::HKEY_LOCAL_MACHINE, key, false).at(5), "Twice");

  // A change rewrites it in the store's own form, keeping every value.
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, key, "New", reg::REG_SZ, "n\0"s), 0);
  EXPECT_EQ(GetRaw(reg::HKEY_LOCAL_MACHINE, key, "Multi").data, "a\0b\0\0"s);
}

// What a Windows user gets from exporting the program's key: UTF-16LE with CRLF line ends, texts in
// UTF-16 inside hex(2) and hex(7) data too. It serves as the store, and the first change rewrites it
// as REGEDIT4 in UTF-8 with every value kept.
TEST(RegistryFile, AWindowsExportServesAsTheStore) {
  Sandbox sandbox;
  RegUtilities ru;
  const auto file = sandbox.WriteFile(
      "registry.reg",
      Utf16(u"Windows Registry Editor Version 5.00\r\n"
            u"\r\n"
            u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\r\n"
            u"\"HostName\"=\"ftp.example.com\"\r\n"
            u"\"LocalPath\"=\"C:\\\\Pr\u00fcfung \U0001F600\\\\\"\r\n"
            u"\"SDATsToKeep\"=dword:00000003\r\n"
            u"\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,fc,00,00,00\r\n"
            u"\"Multi\"=hex(7):61,00,00,00,62,00,\\\r\n"
            u"  3d,d8,00,de,00,00,00,00\r\n"
            u"\"Big\"=hex(b):ff,ff,ff,ff,ff,ff,ff,7f\r\n"
            u"@=hex:00,01\r\n"
            u"\r\n"));
  const std::vector<Expect> values = {{"HostName", reg::REG_SZ, "ftp.example.com\0"s},
                                      {"LocalPath", reg::REG_SZ, "C:\\Pr\xc3\xbc" "fung \xf0\x9f\x98\x80\\\0"s},
                                      {"SDATsToKeep", reg::REG_DWORD, "\3\0\0\0"s},
                                      {"Expand", reg::REG_EXPAND_SZ, "%TEMP%\\\xc3\xbc\0"s},
                                      {"Multi", reg::REG_MULTI_SZ, "a\0b\xf0\x9f\x98\x80\0\0"s},
                                      {"Big", reg::REG_QWORD, "\xff\xff\xff\xff\xff\xff\xff\x7f"s},
                                      {"", reg::REG_BINARY, "\0\1"s}};
  for (const char* pass : {"as exported", "as rewritten"}) {
    ExpectAppValues(values, pass);
    EXPECT_EQ(ru.GetKeyValue(AppKey, "SDATsToKeep", ""), "3") << pass;
    ru.SetKeyValue(AppKey, "LatestUpdate", "SDAT9999.EXE");
    EXPECT_EQ(Sandbox::ReadFile(file).rfind("REGEDIT4\n", 0), 0u) << pass;
  }
  EXPECT_EQ(ru.GetKeyValue(AppKey, "LatestUpdate", ""), "SDAT9999.EXE");
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
