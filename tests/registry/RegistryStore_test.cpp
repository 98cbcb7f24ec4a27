// The registry functions over the store file: values and names, status codes, links, several processes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>
#include <tuple>

#include "RegistryTestSupport.h"
#include "platform/StoreLocation.h"

namespace kestrun::testing {
namespace {

using namespace regtest;

std::string AllBytes() {
  std::string s;
  for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
  return s;
}

// Every value comes back exactly, and those an editor reads are written as it writes them: a text that
// is not plain UTF-8 on one line (a surrogate, an overlong "/", a line break) only as hex(1).
TEST(RegistryStore, EveryTypeAndAwkwardByteComesBackExactly) {
  Sandbox sandbox;
  // name, type, data, and the line written in the file where an editor reads it
  // clang-format off
  const std::vector<std::tuple<std::string, reg::DWORD, std::string, const char*>> rows = {
      {"HostName", reg::REG_SZ, "ftp\0"s, "\"HostName\"=\"ftp\""},
      {"", reg::REG_SZ, "a\"b\\c\0"s, "@=\"a\\\"b\\\\c\""},
      {"Minus", reg::REG_DWORD, "\xfe\xff\xff\xff"s, "\"Minus\"=dword:fffffffe"},
      {"B", reg::REG_BINARY, "\x01\xff"s, "\"B\"=hex:01,ff"},
      {"Lines", reg::REG_SZ, "1\r\n2\n3\r\0"s, "\"Lines\"=hex(1):31,0d,0a,32,0a,33,0d,00"},
      {"Bytes", reg::REG_SZ, "\xed\xa0\x80\xc0\xaf\xff\0"s, "\"Bytes\"=hex(1):ed,a0,80,c0,af,ff,00"},
      {"NoNul", reg::REG_SZ, "abc", nullptr},
      {"Inner", reg::REG_SZ, "a\0b\0"s, nullptr},
      {"Ümlaut é", reg::REG_SZ, "Grüße, 漢字\0"s, nullptr},
      {"a=b \"q\" c\\d ]e[ ;f", reg::REG_SZ, "x=\"y\" \\z ] [ ;\0"s, nullptr},
      {"@", reg::REG_SZ, "at\0"s, nullptr},
      {"All", reg::REG_BINARY, AllBytes(), nullptr},
      {"Short", reg::REG_DWORD, "\1\2\3"s, nullptr},
      {"Odd", 0xFFFFFFFFu, "z", nullptr},
  };
  // clang-format on
  for (const auto& [name, type, data, line] : rows)
    ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "Round ]Trip", name, type, data), 0);
  const std::string file = Sandbox::ReadFile(sandbox.RegistryFile());
  EXPECT_EQ(file.rfind("REGEDIT4\n\n[HKEY_CURRENT_USER\\Round ]Trip]\n\"HostName\"", 0), 0u) << file;
  for (const auto& [name, type, data, line] : rows) {
    SCOPED_TRACE(name);
    Read r = GetRaw(reg::HKEY_CURRENT_USER, "Round ]Trip", name);
    EXPECT_EQ(std::tie(r.status, r.type, r.data), std::make_tuple(0, type, data));
    if (line) {
      EXPECT_NE(file.find("\n"s + line + "\n"), std::string::npos) << file;
    }
  }
}

// The name of sub-key `index` of `h`, or the status.
std::string SubKeyAt(reg::HKEY h, reg::DWORD index) {
  char name[16];
  reg::DWORD len = sizeof name;
  reg::LONG status = reg::RegEnumKeyEx(h, index, name, &len, nullptr, nullptr, nullptr, nullptr);
  return status == 0 ? std::string(name, len) : std::to_string(status);
}

TEST(RegistryStore, NamesIgnoreCaseKeepTheirFirstCaseAndListInTheirOrder) {
  Sandbox sandbox;
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "Software\\Ambervale", "HostName", reg::REG_SZ, "a\0"s), 0);
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "SOFTWARE\\AMBERVALE", "HOSTNAME", reg::REG_SZ, "b\0"s), 0);
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "software\\ambervale", "Ärger", reg::REG_SZ, "c\0"s), 0);
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "sOfTwArE\\aMbErVaLe", "hostname").data, "b\0"s);
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "Software\\Ambervale", "äRGER").data, "c\0"s);
  EXPECT_EQ(SubKeyAt(reg::HKEY_CURRENT_USER, 0), "Software");
  // Index by index through one handle: again, back, skipping one, and across changes of the store.
  for (const char* k : {"K\\b", "K\\A", "K\\c"}) ASSERT_EQ(SetRaw(reg::HKEY_USERS, k, "v", reg::REG_SZ, "\0"s), 0);
  reg::HKEY h = 0;
  ASSERT_EQ(reg::RegOpenKeyEx(reg::HKEY_USERS, "K", 0, reg::KEY_ALL_ACCESS, &h), 0);
  std::vector<std::string> seen;
  for (reg::DWORD index : {0u, 1u, 1u, 0u, 2u, 3u}) seen.push_back(SubKeyAt(h, index));
  EXPECT_EQ(seen, (std::vector<std::string>{"A", "b", "b", "A", "c", "259"}));
  ASSERT_EQ(SetRaw(reg::HKEY_USERS, "K\\B2", "v", reg::REG_SZ, "\0"s), 0);
  EXPECT_EQ(SubKeyAt(h, 2), "B2");
  ASSERT_EQ(reg::RegDeleteKey(h, "A"), 0);
  EXPECT_EQ(SubKeyAt(h, 2), "c");
  reg::RegCloseKey(h);
}

TEST(RegistryStore, StatusCodes) {
  Sandbox sandbox;
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "A\\B", "v", reg::REG_SZ, "12345\0"s), 0);
  reg::HKEY h = 0;
  EXPECT_EQ(reg::RegOpenKeyEx(reg::HKEY_CURRENT_USER, "A\\Missing", 0, reg::KEY_ALL_ACCESS, &h), 2);
  EXPECT_EQ(h, 0u);
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
  EXPECT_EQ(reg::RegCloseKey(h), reg::ERROR_INVALID_HANDLE);                            // already closed
  EXPECT_EQ(reg::RegDeleteKey(reg::HKEY_CURRENT_USER, "A"), reg::ERROR_ACCESS_DENIED);  // has a sub-key
  EXPECT_EQ(reg::RegDeleteKey(reg::HKEY_CURRENT_USER, "A\\B"), 0);
  EXPECT_EQ(GetRaw(reg::HKEY_CURRENT_USER, "A\\B", "v").status, 2);
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "A", "v", reg::REG_SZ, "\0"s), 0);
  EXPECT_EQ(reg::RegDeleteValue(reg::HKEY_CURRENT_USER, "v"), 2);  // the root has no such value
  // Creating says which keys were new; an empty key survives later rewrites of the file.
  reg::DWORD disposition = 0;
  for (const auto& [key, expected] : {std::pair{"SOFTWARE\\Ambervale\\Kestrun", reg::REG_CREATED_NEW_KEY},
                                      std::pair{"software\\ambervale", reg::REG_OPENED_EXISTING_KEY}}) {
    ASSERT_EQ(reg::RegCreateKeyEx(reg::HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, reg::KEY_ALL_ACCESS, nullptr, &h,
                                  &disposition),
              0);
    EXPECT_EQ(disposition, expected) << key;
    reg::RegCloseKey(h);
  }
  ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "X", "v", reg::REG_SZ, "\0"s), 0);
  EXPECT_EQ(reg::RegOpenKeyEx(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Ambervale\\Kestrun", 0, reg::KEY_READ, &h), 0);
  reg::RegCloseKey(h);
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

// Root's runs share the machine's store; anyone else keeps one of their own; KESTRUN_REGISTRY wins.
TEST(RegistryStore, RootSharesTheMachinesStoreOthersKeepTheirOwn) {
  // KESTRUN_REGISTRY, user id, XDG_CONFIG_HOME, the store, machine-wide
  // clang-format off
  const std::tuple<const char*, uid_t, const char*, std::string, bool> rows[] = {
      {nullptr, 0, "/x", "/var/lib/kestrun/registry.reg", true}, {"/tmp/r.reg", 0, nullptr, "/tmp/r.reg", false},
      {"", 1000, "/x", "/x/kestrun/registry.reg", false},
      {nullptr, 1000, "relative", "/home/u/.config/kestrun/registry.reg", false}};
  // clang-format on
  for (const auto& [registry, uid, xdg, file, machineWide] : rows) {
    const platform::StoreLocation location = platform::ChooseStoreLocation(registry, uid, xdg, "/home/u");
    EXPECT_EQ(location.file, file);
    EXPECT_EQ(location.machineWide, machineWide);
  }
}

// Runs `body` in a child process of its own.
template <typename F>
pid_t InChild(F body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    body();
    ::_exit(0);
  }
  return pid;
}

// Two processes writing at once lose nothing (the lock keeps each one's read and rewrite together); a
// writer killed at any moment leaves the old or the new file: never fewer values, never a damaged store.
TEST(RegistryStore, WritersAtOnceOrKilledHalfwayLoseNothing) {
  Sandbox sandbox;
  constexpr int PerProcess = 1000;
  pid_t writers[2];
  for (char tag : {'a', 'b'}) {
    writers[tag - 'a'] = InChild([tag] {
      for (int i = 0; i < PerProcess; ++i)
        SetRaw(reg::HKEY_CURRENT_USER, "Shared", tag + std::to_string(i), reg::REG_SZ, "\0"s);
    });
    ASSERT_GT(writers[tag - 'a'], 0);
  }
  for (pid_t pid : writers) ASSERT_EQ(::waitpid(pid, nullptr, 0), pid);
  EXPECT_EQ(ValueNames(reg::HKEY_CURRENT_USER, "Shared").size(), 2u * PerProcess);
  std::mt19937 random(12345);
  std::size_t previous = 0;
  for (int round = 0; round < 25; ++round) {
    const pid_t pid = InChild([previous] {
      for (std::size_t i = previous;; ++i)
        SetRaw(reg::HKEY_CURRENT_USER, "Killed", "v" + std::to_string(i), reg::REG_BINARY, std::string(i % 64, 'x'));
    });
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    const std::size_t count = ValueNames(reg::HKEY_CURRENT_USER, "Killed").size();
    EXPECT_GE(count, previous) << "round " << round;
    previous = count;
  }
  EXPECT_GT(previous, 0u);
  EXPECT_EQ(SetRaw(reg::HKEY_CURRENT_USER, "Killed", "after", reg::REG_SZ, "\0"s), 0) << "the store is whole";
}

}  // namespace
}  // namespace kestrun::testing
