#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RegistryTestSupport.h"
#include "platform/RegistryDocument.h"
#include "support/Sandbox.h"

namespace kestrun::testing {
namespace {

using namespace regtest;
using namespace std::string_literals;

std::string AllBytes() {
  std::string s;
  for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
  return s;
}

struct RoundTrip {
  const char* what;
  std::string name;
  reg::DWORD type;
  std::string data;
};

const std::vector<RoundTrip>& RoundTrips() {
  static const std::vector<RoundTrip> rows = {
      {"plain text", "HostName", reg::REG_SZ, "ftp.example.com\0"s},
      {"text without terminator", "NoNul", reg::REG_SZ, "abc"},
      {"inner NULs", "Inner", reg::REG_SZ, "a\0b\0"s},
      {"multi-line text", "Lines", reg::REG_SZ, "one\r\ntwo\nthree\r\0"s},
      {"non-ASCII", "Ümlaut é", reg::REG_SZ, "Grüße, 漢字\0"s},
      {"invalid UTF-8", "Bytes", reg::REG_SZ, "\xff\xfe\x80\0"s},
      {"awkward characters", "a=b \"q\" c\\d ]e[ ;f", reg::REG_SZ, "x=\"y\" \\z ] [ ;\0"s},
      {"default value", "", reg::REG_SZ, "default\0"s},
      {"name @", "@", reg::REG_SZ, "at\0"s},
      {"binary, every byte", "All", reg::REG_BINARY, AllBytes()},
      {"binary of size 0", "NoBytes", reg::REG_BINARY, ""},
      {"dword all ones", "Minus", reg::REG_DWORD, "\xff\xff\xff\xff"s},
      {"dword of 3 bytes", "Short", reg::REG_DWORD, "\1\2\3"s},
      {"multi-string", "Multi", reg::REG_MULTI_SZ, "a\0b c\0\0"s},
      {"qword", "Q", reg::REG_QWORD, "\1\2\3\4\5\6\7\x08"s},
      {"unknown type", "Odd", 0xFFFFFFFFu, "z"},
  };
  return rows;
}

TEST(RegistryStore, EveryTypeAndAwkwardByteComesBackExactly) {
  Sandbox sandbox;
  for (const RoundTrip& row : RoundTrips()) {
    ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "Software\\Round ]Trip", row.name, row.type, row.data), 0) << row.what;
  }
  // A second pass over the file as written, and a rewrite of it, must give the same bytes.
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "Software\\Other", "x", reg::REG_SZ, "y\0"s), 0);
  for (const RoundTrip& row : RoundTrips()) {
    Read r = GetRaw(reg::HKEY_CURRENT_USER, "Software\\Round ]Trip", row.name);
    EXPECT_EQ(r.status, 0) << row.what;
    EXPECT_EQ(r.type, row.type) << row.what;
    EXPECT_EQ(r.data, row.data) << row.what;
  }
}

TEST(RegistryStore, WritesWhatTheRegistryEditorReads) {
  Sandbox sandbox;
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Ambervale\\Kestrun", "HostName", reg::REG_SZ, "ftp\0"s), 0);
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Ambervale\\Kestrun", "N", reg::REG_DWORD, "\x0c\0\0\0"s), 0);
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Ambervale\\Kestrun", "B", reg::REG_BINARY, "\x01\xff"s), 0);
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Ambervale\\Kestrun", "", reg::REG_SZ, "a\"b\\c\0"s), 0);
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Ambervale\\Kestrun", "L", reg::REG_SZ, "1\n2\0"s), 0);
  // Not UTF-8 (a surrogate, an overlong "/"): an editor would not keep these bytes as they are.
  ASSERT_EQ(
      SetRaw(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Ambervale\\Kestrun", "S", reg::REG_SZ, "\xed\xa0\x80\xc0\xaf\0"s), 0);
  EXPECT_EQ(Sandbox::ReadFile(sandbox.RegistryFile()),
            "REGEDIT4\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\n"
            "\"HostName\"=\"ftp\"\n"
            "\"N\"=dword:0000000c\n"
            "\"B\"=hex:01,ff\n"
            "@=\"a\\\"b\\\\c\"\n"
            "\"L\"=hex(1):31,0a,32,00\n"
            "\"S\"=hex(1):ed,a0,80,c0,af,00\n\n");
}

TEST(RegistryStore, NamesIgnoreCaseKeepTheirFirstCaseAndListInTheirOrder) {
  Sandbox sandbox;
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "Software\\Ambervale", "HostName", reg::REG_SZ, "a\0"s), 0);
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "SOFTWARE\\AMBERVALE", "HOSTNAME", reg::REG_SZ, "b\0"s), 0);
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "software\\ambervale", "Ärger", reg::REG_SZ, "c\0"s), 0);
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "sOfTwArE\\aMbErVaLe", "hostname").data, "b\0"s);
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "Software\\Ambervale", "äRGER").data, "c\0"s);
  EXPECT_EQ(Listed(reg::HKEY_CURRENT_USER, "", true), std::vector<std::string>{"Software"});

  // Values list in creation order, sub-keys in name order.
  for (const char* v : {"b", "A", "c", "a"}) ASSERT_EQ(SetRaw(reg::HKEY_USERS, "K", v, reg::REG_SZ, "\0"s), 0);
  for (const char* k : {"K\\b", "K\\A", "K\\c"}) ASSERT_EQ(SetRaw(reg::HKEY_USERS, k, "v", reg::REG_SZ, "\0"s), 0);
  EXPECT_EQ(Listed(reg::HKEY_USERS, "K", false), (std::vector<std::string>{"b", "A", "c"}));
  EXPECT_EQ(Listed(reg::HKEY_USERS, "K", true), (std::vector<std::string>{"A", "b", "c"}));

  // Index by index through one handle: again, back, skipping one, and across changes of the store.
  reg::HKEY h = 0;
  ASSERT_EQ(reg::RegOpenKeyEx(reg::HKEY_USERS, "K", 0, reg::KEY_ALL_ACCESS, &h), 0);
  auto at = [&](reg::DWORD index) {
    char name[16];
    reg::DWORD len = sizeof name;
    reg::LONG status = reg::RegEnumKeyEx(h, index, name, &len, nullptr, nullptr, nullptr, nullptr);
    return status == 0 ? std::string(name, len) : std::to_string(status);
  };
  std::vector<std::string> seen;
  for (reg::DWORD index : {0u, 1u, 1u, 0u, 2u, 3u}) seen.push_back(at(index));
  EXPECT_EQ(seen, (std::vector<std::string>{"A", "b", "b", "A", "c", "259"}));
  ASSERT_EQ(SetRaw(reg::HKEY_USERS, "K\\B2", "v", reg::REG_SZ, "\0"s), 0);
  EXPECT_EQ(at(2), "B2");
  ASSERT_EQ(reg::RegDeleteKey(h, "A"), 0);
  EXPECT_EQ(at(2), "c");
  reg::RegCloseKey(h);
}

TEST(RegistryStore, StatusCodes) {
  Sandbox sandbox;
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "A\\B", "v", reg::REG_SZ, "12345\0"s), 0);
  reg::HKEY h = 0;
  EXPECT_EQ(reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, "A\\Missing", 0, reg::KEY_ALL_ACCESS, &h), 2);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(reg::RegOpenKeyEx(0, "A", 0, reg::KEY_READ, &h), reg::ERROR_INVALID_HANDLE);
  EXPECT_EQ(reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, "A\\\\B", 0, reg::KEY_READ, &h), reg::ERROR_BAD_PATHNAME);

  ASSERT_EQ(reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, "a\\b\\", 0, reg::KEY_READ, &h), 0);
  reg::DWORD type = 0, size = 3;
  reg::BYTE small[3];
  EXPECT_EQ(reg::RegQueryValueEx(h, "v", nullptr, &type, small, &size), reg::ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(reg::RegSetValueEx(h, "v", 0, reg::REG_SZ, small, 1), reg::ERROR_ACCESS_DENIED);  // opened to read
  EXPECT_EQ(reg::RegSetValueEx(reg::HKEY_CURRENT_USER, "bad\nname", 0, reg::REG_SZ, small, 1),
            reg::ERROR_INVALID_PARAMETER);
  EXPECT_EQ(reg::RegCloseKey(h), 0);
  EXPECT_EQ(reg::RegCloseKey(h), reg::ERROR_INVALID_HANDLE);  // already closed

  EXPECT_EQ(reg::RegDeleteKey(reg::HKEY_CURRENT_USER, "A"), reg::ERROR_ACCESS_DENIED);  // has a sub-key
  EXPECT_EQ(reg::RegDeleteKey(reg::HKEY_CURRENT_USER, "A\\B"), 0);
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "A\\B", "v").status, 2);
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "A", "v", reg::REG_SZ, "\0"s), 0);
  ASSERT_EQ(reg::RegDeleteValue(reg::HKEY_CURRENT_USER, "v"), 2);  // the root has no such value
  ASSERT_EQ(reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, "A", 0, reg::KEY_ALL_ACCESS, &h), 0);
  EXPECT_EQ(reg::RegDeleteValue(h, "V"), 0);
  reg::RegCloseKey(h);
}

TEST(RegistryStore, CreateMakesEveryMissingKeyAndReportsWhich) {
  Sandbox sandbox;
  ::setenv("KESTRUN_REGISTRY", (sandbox.Root() / "sub" / "registry.reg").c_str(), 1);
  reg::HKEY h = 0;
  EXPECT_EQ(reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, "A", 0, reg::KEY_READ, &h), 2);
  EXPECT_FALSE(std::filesystem::exists(sandbox.Root() / "sub")) << "a read creates nothing";
  reg::DWORD disposition = 0;
  for (const auto& [key, expected] : {std::pair{"SOFTWARE\\Ambervale\\Kestrun", reg::REG_CREATED_NEW_KEY},
                                      std::pair{"software\\ambervale", reg::REG_OPENED_EXISTING_KEY}}) {
    ASSERT_EQ(reg::RegCreateKeyEx(reg::HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, reg::KEY_ALL_ACCESS, nullptr, &h,
                                  &disposition),
              0);
    EXPECT_EQ(disposition, expected) << key;
    reg::RegCloseKey(h);
  }
  // An empty key survives a rewrite of the file.
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "X", "v", reg::REG_SZ, "\0"s), 0);
  EXPECT_EQ(reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Ambervale\\Kestrun", 0, reg::KEY_READ, &h), 0);
  reg::RegCloseKey(h);
}

TEST(RegistryStore, AStoreThatCannotBeWrittenSaysWhy) {
  Sandbox sandbox;
  sandbox.WriteFile("plainfile", "x");
  ::setenv("KESTRUN_REGISTRY", (sandbox.Root() / "plainfile" / "registry.reg").c_str(), 1);
  reg::HKEY h = 0;
  EXPECT_EQ(reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, "A", 0, reg::KEY_ALL_ACCESS, &h), reg::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, "A", 0, reg::KEY_READ, &h), 2);  // reading just finds nothing
  EXPECT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "A", "v", reg::REG_SZ, "\0"s), reg::ERROR_PATH_NOT_FOUND);
}

// A store reached through a link stays a link, and the file it points to is the one written; the
// temporary files that writers killed halfway left beside that file go with the first write.
TEST(RegistryStore, ALinkedStoreStaysALinkAndLeftoversOfKilledWritersGo) {
  Sandbox sandbox;
  sandbox.WriteFile("real/registry.reg", "REGEDIT4\n");
  sandbox.WriteFile("real/.registry.reg.a1B2c3.part", "REGEDIT4\n[HKEY_CURRENT_USER\\Half");
  sandbox.WriteFile("real/.registry.reg.part", "not ours");
  std::filesystem::create_symlink("real/registry.reg", sandbox.RegistryFile());
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "A", "v", reg::REG_SZ, "1\0"s), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(sandbox.RegistryFile()));
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "A", "v").data, "1\0"s);
  EXPECT_FALSE(std::filesystem::exists(sandbox.Root() / "real/.registry.reg.a1B2c3.part"));
  EXPECT_TRUE(std::filesystem::exists(sandbox.Root() / "real/.registry.reg.part"));
}

}  // namespace
}  // namespace kestrun::testing
