// Hand-edited and damaged store files.

#include <algorithm>
#include <functional>
#include <tuple>

#include "RegistryTestSupport.h"
#include "app/AppMain.h"
#include "app/Application.h"
#include "registry/RegUtilities.h"
#include "support/HeadlessMainView.h"
#include "support/ScriptedWindowSystem.h"
#include "support/ThreadClock.h"

namespace kestrun::testing {
namespace {

using namespace regtest;

// The registry editor's export format: UTF-16LE after a byte-order mark.
std::string Utf16(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// Every kind of damage leaves the file as it is, and the program can say where and what it is.
TEST(RegistryFile, ADamagedFileReadsAsNothingIsNeverOverwrittenAndSaysWhereItIsWrong) {
  const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n";
  const std::u16string head5 = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n";
  const std::vector<std::tuple<const char*, std::string, int, const char*>> rows = {
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
  for (const auto& [what, content, line, says] : rows) {
    SCOPED_TRACE(what);
    Sandbox sandbox;
    auto file = sandbox.WriteFile("registry.reg", content);
    for (reg::LONG status :
         {GetRaw(reg::HKEY_CURRENT_USER, "A", "x").status, reg::RegDeleteKey(reg::HKEY_CURRENT_USER, "A"),
          SetRaw(reg::HKEY_CURRENT_USER, "New", "x", reg::REG_SZ, "2\0"s)})
      EXPECT_EQ(status, reg::ERROR_BADDB);
    EXPECT_EQ(Sandbox::ReadFile(file), content) << "the file is left byte for byte";
    const std::string damage = reg::StoreDamage();
    EXPECT_EQ(
        damage.find("The settings store " + file.string() + " cannot be read, line " + std::to_string(line) + ": "), 0u)
        << damage;
    EXPECT_NE(damage.find(says), std::string::npos) << damage;
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

// Both registry editors' exports (comments, deletions, a key twice; UTF-16LE, inside hex(2)/hex(7) too) read
// as Windows reads them; the first change rewrites them as REGEDIT4 in UTF-8, every value in its place.
TEST(RegistryFile, RegistryEditorExportsServeAsTheStore) {
  Sandbox sandbox;
  RegUtilities ru;
  const struct {
    std::string content;
    std::vector<std::tuple<const char*, reg::DWORD, std::string>> values;
    const char* sixth;  // the sixth name listed
  } exports[] = {
      {"\xEF\xBB\xBFREGEDIT4\r\n\r\n"
       "; exported settings\r\n"
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\r\n"
       "\"HostName\"=\"ftp.example.com\"\r\n"
       "@=\"default\"\r\n"
       "\"Count\"=dword:0000000C\r\n"
       "\"Expand\"=hex(2):25,54,45,4d,50,25,5c,78,\\\r\n  00\r\n"
       "\"Multi\"=hex(7):61,00,62,00,\\\r\n  00\r\n"
       "\"Gone\"=\"soon\"\r\n"
       "\"Gone\"=-\r\n"
       "\"Twice\"=\"first\"\r\n\r\n"
       "[hkey_local_machine\\software\\ambervale\\kestrun]\r\n"
       "\"TWICE\"=\"second\"\r\n"
       "\"Empty\"=hex:\r\n\r\n"
       "[HKEY_CURRENT_USER\\Doomed\\Child]\r\n"
       "\"v\"=\"1\"\r\n"
       "[-HKEY_CURRENT_USER\\Doomed]\r\n\r\n",
       {{"HostName", reg::REG_SZ, "ftp.example.com\0"s},
        {"", reg::REG_SZ, "default\0"s},
        {"Count", reg::REG_DWORD, "\x0c\0\0\0"s},
        {"Expand", reg::REG_EXPAND_SZ, "%TEMP%\\x\0"s},
        {"Multi", reg::REG_MULTI_SZ, "a\0b\0\0"s},
        {"Twice", reg::REG_SZ, "second\0"s},
        {"Empty", reg::REG_BINARY, ""}},
       "Twice"},
      {Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n"
             u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\r\n"
             u"\"HostName\"=\"ftp.example.com\"\r\n"
             u"\"LocalPath\"=\"C:\\\\Pr\u00fcfung \U0001F600\\\\\"\r\n"
             u"\"SDATsToKeep\"=dword:00000003\r\n"
             u"\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,fc,00,00,00\r\n"
             u"\"Multi\"=hex(7):61,00,00,00,62,00,\\\r\n  3d,d8,00,de,00,00,00,00\r\n"
             u"\"Big\"=hex(b):ff,ff,ff,ff,ff,ff,ff,7f\r\n"
             u"@=hex:00,01\r\n\r\n"),
       {{"LocalPath", reg::REG_SZ,
         "C:\\Pr\xc3\xbc"
         "fung \xf0\x9f\x98\x80\\\0"s},
        {"SDATsToKeep", reg::REG_DWORD, "\3\0\0\0"s},
        {"Expand", reg::REG_EXPAND_SZ, "%TEMP%\\\xc3\xbc\0"s},
        {"Multi", reg::REG_MULTI_SZ, "a\0b\xf0\x9f\x98\x80\0\0"s},
        {"Big", reg::REG_QWORD, "\xff\xff\xff\xff\xff\xff\xff\x7f"s},
        {"", reg::REG_BINARY, "\0\1"s}},
       "Big"},
  };
  for (const auto& e : exports) {
    const auto file = sandbox.WriteFile("registry.reg", e.content);
    for (const char* pass : {"as exported", "as rewritten"}) {
      for (const auto& [name, type, data] : e.values) {
        Read r = GetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch, name);
        EXPECT_EQ(std::tie(r.status, r.type, r.data), std::make_tuple(0, type, data)) << pass << " " << name;
      }
      EXPECT_EQ(GetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch, "Gone").status, 2) << pass;
      EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "Doomed", "v").status, 2) << pass;
      EXPECT_EQ(ValueNames(reg::HKEY_LOCAL_MACHINE, AppBranch).at(5), e.sixth) << pass;
      ru.SetKeyValue(AppKey, "LatestUpdate", "SDAT9999.EXE");
      EXPECT_EQ(Sandbox::ReadFile(file).rfind("REGEDIT4\n", 0), 0u) << pass;
    }
  }
}

// Large and hostile files neither crash nor hang, and reading stays linear: eight times the file may take
// at most thirty times as long (quadratic: 64). Timed files fit the caches, beyond which each step slows.
TEST(RegistryFile, LargeAndHostileFilesStayLinear) {
  Sandbox sandbox;
  std::string deepest = "k";  // the deepest key the store allows
  for (int i = 1; i < 512; ++i) deepest += "\\k";
  const auto values = [](int n) {  // a tenth of them deleted again
    std::string s = "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n";
    for (int i = 0; i < n; ++i) s += "\"value" + std::to_string(i) + "\"=\"some text here\"\n";
    for (int i = 0; i < n / 10; ++i) s += "\"value" + std::to_string(i) + "\"=-\n";
    return s;
  };
  const auto repeated = [](std::string head, std::string piece, std::string tail) {
    return [=](int n) {
      std::string s = head;
      for (int i = 0; i < n; ++i) s += piece;
      return s + tail;
    };
  };
  const struct {
    const char* what;
    std::function<std::string(int)> content;  // for n pieces
    int n;
    std::string key;
    reg::LONG status;
  } shapes[] = {
      {"values, some deleted", values, 2'000, "A", 2},
      {"junk", repeated("", "x", ""), 64'000, "A", reg::ERROR_BADDB},
      {"a key of backslashes", repeated("REGEDIT4\n[HKEY_CURRENT_USER\\", "\\", "]\n"), 64'000, "A", reg::ERROR_BADDB},
      {"a hex list of commas", repeated("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:", ",", "\n"), 64'000, "A",
       reg::ERROR_BADDB},
      {"a name never closed", repeated("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"", "\\", ""), 64'000, "A",
       reg::ERROR_BADDB},
      {"a continued hex list",
       repeated("REGEDIT4\n[HKEY_CURRENT_USER\\" + deepest + "]\n\"v\"=hex:", "41,\\\n  ", "41\n"), 8'000, deepest, 0},
  };
  for (const auto& shape : shapes) {
    double seconds[2] = {1e9, 1e9};  // the best of three reads, each of a freshly written file
    for (int i = 0; i < 6; ++i) {
      sandbox.WriteFile("registry.reg", shape.content(i < 3 ? shape.n : 8 * shape.n));
      const double start = ThreadSeconds();
      EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, shape.key, "v").status, shape.status) << shape.what;
      seconds[i / 3] = std::min(seconds[i / 3], ThreadSeconds() - start);
    }
    EXPECT_LT(seconds[1], 30 * seconds[0] + 0.002) << shape.what << ": " << seconds[0] << " s, then " << seconds[1];
  }
  // What the last file held, read right; and a store of ten megabytes.
  EXPECT_TRUE(GetRaw(reg::HKEY_CURRENT_USER, deepest, "v").data == std::string(8 * 8'000 + 1, 'A'));
  sandbox.WriteFile("registry.reg", values(288'000));
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "A", "value287999").data, "some text here\0"s);
  EXPECT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "A", "value5", reg::REG_SZ, "back\0"s), 0);
  sandbox.WriteFile("registry.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\" + deepest + "\\k]\n");  // one too deep
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "A", "v").status, reg::ERROR_BADDB);
}

}  // namespace
}  // namespace kestrun::testing
