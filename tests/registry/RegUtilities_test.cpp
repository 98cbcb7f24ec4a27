// RegUtilities over the store, and the record sets its listings come in.
#include "registry/RegUtilities.h"

#include <memory>
#include <tuple>

#include "RegistryTestSupport.h"
#include "registry/Recordset.h"
#include "support/FolderNames.h"
#include "support/RaisedError.h"
#include "support/ScriptedWindowSystem.h"

namespace kestrun::testing {
namespace {

using namespace regtest;

// The error report RegUtilities shows for `procedure`.
std::string Report(const std::string& procedure, int number, const std::string& description) {
  return platform::App().EXEName + ".RegUtilities." + procedure + ": " + std::to_string(number) + ", " + description;
}

class RegUtilitiesTest : public ::testing::Test {
 protected:
  Sandbox sandbox;
  ScriptedWindowSystem ws;
  RegUtilities ru;
  std::vector<std::string> Prompts() const {
    std::vector<std::string> out;
    for (const auto& box : ws.boxes) out.push_back(box.prompt);
    return out;
  }
};

TEST(RegUtilitiesPaths, SplitsHivePaths) {
  RegUtilities ru;
  // clang-format off
  const std::vector<std::tuple<std::string, std::string, std::string, std::uint32_t>> rows = {
      {AppKey, "HKEY_LOCAL_MACHINE", AppBranch, 0x80000002u},
      {"HKEY_LOCAL_MACHINE\\\\\\SOFTWARE", "HKEY_LOCAL_MACHINE", "SOFTWARE", 0x80000002u},
      {"HKEY_USERS\\x", "HKEY_USERS", "x", 0x80000003u}, {"hkey_local_machine\\x", "hkey_local_machine", "x", 0},
      {"HKLM\\SOFTWARE", "HKLM", "SOFTWARE", 0}, {"\\SOFTWARE", "", "SOFTWARE", 0}, {"", "", "", 0}};
  // clang-format on
  for (const auto& [hive, root, branch, handle] : rows) {
    EXPECT_EQ(ru.GetRootKey(hive), root) << hive;
    EXPECT_EQ(ru.GetBranch(hive), branch) << hive;
    EXPECT_EQ(ru.GetPredefinedRootKey(hive), handle) << hive;
  }
}

// Each type name stores its own bytes (a missing key is made for them); a read gives the data less its
// last byte, or a number as text.
TEST_F(RegUtilitiesTest, ConvertsValuesPerType) {
  using Row = std::tuple<const char*, RegSetting, const char*, reg::DWORD, std::string, std::string>;
  for (const auto& [name, value, typeName, type, stored, readBack] : std::vector<Row>{
           {"Text", "abc", "REG_SZ", reg::REG_SZ, "abc\0"s, "abc"},
           {"Expand", "%HOME%", "REG_EXPAND_SZ", reg::REG_EXPAND_SZ, "%HOME%\0"s, "%HOME%"},
           {"Binary", "abc", "REG_BINARY", reg::REG_BINARY, "abc", "ab"},
           {"Twelve", "12", "REG_DWORD", reg::REG_DWORD, "\x0c\0\0\0"s, "12"},
           {"Half", 2.5, "REG_DWORD", reg::REG_DWORD, "\2\0\0\0"s, "2"},
           {"Minus", -1, "REG_DWORD", reg::REG_DWORD, "\xff\xff\xff\xff"s, "-1"},
           {"Number", 3.5, "REG_SZ", reg::REG_SZ, "3.5\0"s, "3.5"},
       }) {
    ru.SetKeyValue(AppKey, name, value, typeName);
    EXPECT_EQ(GetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch, name).data, stored) << name;
    EXPECT_EQ(ru.GetKeyValue(AppKey, name, "dflt"), readBack) << name;
    EXPECT_EQ(ru.GetKeyType(AppKey, name), static_cast<int>(type)) << name;
  }
  EXPECT_TRUE(ws.boxes.empty());
}

// Refused before anything is written: a text form of 128 characters or more, a number that is none or too
// big, a type name this class does not write. A text of 127 characters is taken, however many bytes.
TEST_F(RegUtilitiesTest, RefusedWritesMakeNothing) {
  ru.SetKeyValue(AppKey, "Long", std::string(128, 'a'));
  ru.SetKeyValue(AppKey, "Bad", "abc", "REG_DWORD");
  ru.SetKeyValue(AppKey, "Big", 3e9, "REG_DWORD");
  for (const char* type : {"reg_sz", "REG_MULTI_SZ", "REG_SZ "}) ru.SetKeyValue(AppKey, type, "x", type);
  EXPECT_EQ(Prompts(), (std::vector<std::string>{
                           "Registry setting to long :  128\r\nFor Key: " + AppBranch + "\r\nFor Variable: Long",
                           Report("SetKeyValue", 13, "Type mismatch"), Report("SetKeyValue", 6, "Overflow")}));
  EXPECT_FALSE(std::filesystem::exists(sandbox.RegistryFile())) << "not even an empty key was made";
  ru.SetKeyValue(AppKey, "Umlauts", "\xc3\xbc" + std::string(126, 'a'));
  EXPECT_EQ(ru.GetKeyValue(AppKey, "Umlauts", ""), "\xc3\xbc" + std::string(126, 'a'));
  EXPECT_EQ(ws.boxes.size(), 3u);
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
  BlockStore(sandbox);
  ru.SetKeyValue(AppKey, "v", "1");
  std::vector<std::string> expected = {failed(6, "SOFTWARE\\X"), failed(3, AppBranch)};
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
  // number: the 32-bit integer, or -(error number) when the conversion raises
  // clang-format off
  const std::vector<std::tuple<RegSetting, std::string, long long>> rows = {
      {"2.5", "2.5", 2}, {"&HFFFFFFFF", "&HFFFFFFFF", -1}, {"&O17", "&O17", 15}, {"abc", "abc", -13},
      {"12abc", "12abc", -13}, {"3000000000", "3000000000", -6}, {"&H100000000", "&H100000000", -6},
      {1LL << 40, "1099511627776", -6}, {12.0, "12", 12}, {1e20, "1E+20", -6}};
  // clang-format on
  for (const auto& [value, text, number] : rows) {
    long long got = 0;
    const int raised = ErrorOf([&] { got = value.ToLong(); });
    EXPECT_EQ(value.Text(), text);
    EXPECT_EQ(raised ? -raised : got, number) << text;
  }
}

// Every row as "name=data", from the first one on.
std::vector<std::string> Rows(Recordset& rs) {
  std::vector<std::string> rows;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) rows.push_back(rs.Field("Name") + "=" + rs.Field("Data"));
  return rows;
}

bool OpenAndEmpty(const std::unique_ptr<Recordset>& rs) {
  return rs && rs->IsOpen() && rs->Bof() && rs->Eof() && rs->RecordCount() == 0;
}

TEST(Recordset, HoldsRowsOfDeclaredTextColumnsAndRaisesAtItsLimits) {
  Recordset rs;
  EXPECT_EQ(ErrorOf([&] { rs.AddNew(); }), err::ObjectClosed);
  rs.Fields().Append("Name", Recordset::adVarChar, 3);
  rs.Fields().Append("Data", Recordset::adVarChar, 3);
  EXPECT_EQ(ErrorOf([&] { rs.Fields().Append("NAME", Recordset::adVarChar, 3); }), err::AlreadyInCollection);
  EXPECT_EQ(ErrorOf([&] { rs.Fields().Append("Number", 3, 4); }), err::BadArguments);
  rs.Open();
  EXPECT_EQ(ErrorOf([&] { rs.Fields().Append("Late", Recordset::adVarChar, 3); }), err::NotAllowedNow);
  EXPECT_TRUE(rs.Bof() && rs.Eof() && rs.RecordCount() == 0);
  EXPECT_EQ(ErrorOf([&] { rs.Field("Name"); }), err::NoCurrentRecord);
  EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), err::NoCurrentRecord);
  for (const char* value : {"abc", "\xc3\xa4\xc3\xb6\xc3\xbc", "x"}) {  // the limit counts characters, not bytes
    rs.AddNew();
    rs.SetField("name", value);
  }
  EXPECT_EQ(rs.Field("NAME"), "x") << "a new row is the current one";
  EXPECT_EQ(ErrorOf([&] { rs.Field("Size"); }), err::ItemNotFound);
  EXPECT_EQ(Rows(rs), (std::vector<std::string>{"abc=", "\xc3\xa4\xc3\xb6\xc3\xbc=", "x="}));
  EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), err::NoCurrentRecord);
}

// The program's key with values of several types, and keys below it: one holding binary values, one with
// a key of its own, one with none. Listed in the store's order, sub-keys by name whatever their case.
TEST_F(RegUtilitiesTest, ListingsGiveRowsInTheStoresOrder) {
  const std::string Binary = AppKey + "\\Binary";
  sandbox.WriteFile("registry.reg", "REGEDIT4\n[" + AppKey + "]\n\"HostName\"=\"ftp.example.com\"\n" +
                                        "\"Path\"=\"/pub/\"\n\"Count\"=dword:0000000c\n\"Bytes\"=hex:61,00,62,00\n[" +
                                        AppKey + "\\b]\n[" + AppKey + "\\A\\deeper]\n[" + Binary +
                                        "]\n\"v\"=hex:01,ff\n\"Text\"=\"ab\"\n\"Empty\"=hex:\n");
  // clang-format off
  const std::vector<std::tuple<std::string, int, std::string, std::string>> binaryRows = {
      {Binary, 0, "", "1: v: 01, FF\r\n2: Text: 61, 62, 00\r\n3: Empty: \r\n"}, {Binary, 0, "V", "01, FF"},
      {Binary, 1, "v", "\tszBin=\"\"; szBin[0]=\"1\"; szBin[1]=\"255\";"}, {Binary, 0, "nothing", ""},
      {AppKey + "\\Missing", 0, "", ""}, {"HKLM\\" + AppBranch, 0, "", ""}};
  // clang-format on
  for (const auto& [hive, format, key, listed] : binaryRows) {
    EXPECT_EQ(ru.EnumerateBinaryKey(hive, format, key), listed) << hive << " " << key;
  }
  auto rs = ru.EnumerateAnyKey(AppKey);
  ASSERT_TRUE(rs);
  EXPECT_EQ(rs->Field("Name"), "HostName") << "standing on the first row";
  // Data less its last byte: a text's terminator, but also the last byte of a number or of binary data.
  EXPECT_EQ(Rows(*rs),
            (std::vector<std::string>{"HostName=ftp.example.com", "Path=/pub/", "Count=\x0c\0\0"s, "Bytes=a\0b"s}));
  EXPECT_EQ(Rows(*ru.EnumerateAnyKey(AppKey, "pATH")), std::vector<std::string>{"Path=/pub/"});
  EXPECT_TRUE(OpenAndEmpty(ru.EnumerateAnyKey(AppKey, "nothing")));
  EXPECT_TRUE(OpenAndEmpty(ru.EnumerateAnyKey("HKEY_USERS"))) << "a root alone is a key too";
  rs = ru.EnumerateAnyBranch(AppKey);
  ASSERT_TRUE(rs);
  EXPECT_EQ(rs->Field("Name"), "A");
  EXPECT_EQ(Rows(*rs), (std::vector<std::string>{"A=", "b=", "Binary="}));
  EXPECT_EQ(Rows(*ru.EnumerateAnyBranch("HKEY_LOCAL_MACHINE")), std::vector<std::string>{"SOFTWARE="});
  for (const std::string& hive : {AppKey + "\\Missing", "HKLM\\" + AppBranch}) {
    EXPECT_EQ(ru.EnumerateAnyKey(hive), nullptr) << hive;
    EXPECT_EQ(ru.EnumerateAnyBranch(hive), nullptr) << hive;
  }
  EXPECT_TRUE(ws.boxes.empty());
}

// Names and data beyond the 2000-character buffers end a listing silently; beyond the record set's
// 255-character columns they raise. Each row's value stands between two short ones.
TEST_F(RegUtilitiesTest, ListingsEndAtTheBuffersAndRaiseAtTheColumns) {
  // listed: fits the buffers, so the listing goes on past it; raised: by EnumerateAnyKey
  const std::vector<std::tuple<const char*, std::string, std::string, bool, int>> rows = {
      {"255 characters", std::string(255, 'n'), std::string(255, 'd') + '\0', true, 0},
      {"name of 256", std::string(256, 'n'), "x\0"s, true, err::MultipleStepErrors},
      {"data of 256", "d", std::string(256, 'd') + '\0', true, err::MultipleStepErrors},
      {"no data at all", "e", "", true, err::InvalidProcedureCall},
      {"name of 1999", std::string(1999, 'n'), "x\0"s, true, err::MultipleStepErrors},
      {"name of 2000", std::string(2000, 'n'), "x\0"s, false, 0},
      {"data of 2000", "d", std::string(2000, 'd'), true, err::MultipleStepErrors},
      {"data of 2001", "d", std::string(2001, 'd'), false, 0},
  };
  for (const auto& [what, name, data, listed, raised] : rows) {
    SCOPED_TRACE(what);
    const std::string key = "Rows\\"s + what;
    for (const auto& [n, d] : {std::pair{"first"s, "1\0"s}, {name, data}, {"last"s, "2\0"s}})
      ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, key, n, reg::REG_BINARY, d), 0);
    const std::string binary = ru.EnumerateBinaryKey("HKEY_CURRENT_USER\\" + key, 0);
    EXPECT_EQ(binary.find("3: last: 32, 00\r\n") != std::string::npos, listed);
    EXPECT_EQ(binary.find("1: first: 31, 00\r\n"), 0u);
    std::unique_ptr<Recordset> rs;
    EXPECT_EQ(ErrorOf([&] { rs = ru.EnumerateAnyKey("HKEY_CURRENT_USER\\" + key); }), raised);
    if (!raised) {
      EXPECT_EQ(rs->RecordCount(), listed ? 3 : 1);
    }
  }
  EXPECT_TRUE(ws.boxes.empty());
}

// DeleteKey takes only a key without sub-keys; DeleteValue is true when the value is gone afterwards.
TEST_F(RegUtilitiesTest, DeletionsTakeWhatMayGoAndCreateNothing) {
  EXPECT_TRUE(ru.DeleteValue(AppKey, "HostName"));
  ru.DeleteKey(AppKey);
  EXPECT_TRUE(std::filesystem::is_empty(sandbox.Root())) << "nothing to delete, nothing created";
  const std::string store =
      "REGEDIT4\n[" + AppKey + "]\n\"HostName\"=\"ftp\"\n\"keep\"=\"1\"\n[" + AppKey + "\\Leaf]\n\"v\"=\"2\"\n";
  const auto file = sandbox.WriteFile("registry.reg", store);
  // Nothing that may go: a key with a sub-key, a missing key or value, a root, an unknown root.
  for (const std::string& hive : {AppKey, AppKey + "\\Missing", "HKEY_LOCAL_MACHINE"s, "HKLM\\" + AppBranch}) {
    ru.DeleteKey(hive);
    EXPECT_TRUE(ru.DeleteValue(hive, "missing")) << hive;
  }
  EXPECT_EQ(Sandbox::ReadFile(file), store);
  EXPECT_EQ(NamesIn(sandbox.Root()).size(), 1u) << "not even a lock file";
  ru.DeleteKey(AppKey + "\\leaf");
  EXPECT_TRUE(OpenAndEmpty(ru.EnumerateAnyBranch(AppKey)));
  EXPECT_TRUE(ru.DeleteValue(AppKey, "HOSTNAME"));
  EXPECT_EQ(ru.GetKeyType(AppKey, "HostName"), -1);
  EXPECT_EQ(ru.GetKeyValue(AppKey, "keep", ""), "1");
  // A store that cannot be written holds nothing to delete; one that cannot be read may still hold it.
  ::setenv("KESTRUN_REGISTRY", sandbox.WriteFile("damaged.reg", store + "garbage\n").c_str(), 1);
  EXPECT_FALSE(ru.DeleteValue(AppKey, "keep"));
  BlockStore(sandbox);
  EXPECT_TRUE(ru.DeleteValue(AppKey, "keep"));
  EXPECT_TRUE(ws.boxes.empty());
}

}  // namespace
}  // namespace kestrun::testing
