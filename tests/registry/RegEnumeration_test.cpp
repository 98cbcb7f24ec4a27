// Listing and deleting through RegUtilities, and the record sets the listings come in.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "RegistryTestSupport.h"
#include "registry/Recordset.h"
#include "support/RaisedError.h"

namespace kestrun::testing {
namespace {

using namespace regtest;
using namespace std::string_literals;

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
  EXPECT_EQ(ErrorOf([&] { rs.Fields().Append("NAME", Recordset::adVarChar, 3); }), err::AlreadyInCollection);
  EXPECT_EQ(ErrorOf([&] { rs.Fields().Append("Number", 3, 4); }), err::BadArguments);
  rs.Open();
  EXPECT_EQ(ErrorOf([&] { rs.Fields().Append("Late", Recordset::adVarChar, 3); }), err::NotAllowedNow);
  EXPECT_EQ(rs.Fields().Count(), 1);
  rs.MoveFirst();  // harmless while empty
  EXPECT_TRUE(rs.Bof() && rs.Eof());
  EXPECT_EQ(ErrorOf([&] { rs.Field("Name"); }), err::NoCurrentRecord);
  EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), err::NoCurrentRecord);

  for (const char* value : {"abc", "\xc3\xa4\xc3\xb6\xc3\xbc", "x"}) {  // the limit counts characters, not bytes
    rs.AddNew();
    rs.SetField("name", value);
  }
  EXPECT_EQ(rs.Field("NAME"), "x") << "a new row is the current one";
  EXPECT_EQ(ErrorOf([&] { rs.SetField("Name", "abcd"); }), err::MultipleStepErrors);
  EXPECT_EQ(rs.Field("Name"), "x") << "a value that does not fit leaves the old one";
  EXPECT_EQ(ErrorOf([&] { rs.SetField("Data", "x"); }), err::ItemNotFound);
  EXPECT_EQ(ErrorOf([&] { rs.Field("Data"); }), err::ItemNotFound);
  EXPECT_FALSE(rs.Bof());
  EXPECT_EQ(rs.RecordCount(), 3);
  std::vector<std::string> walked;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) walked.push_back(rs.Field("Name"));
  EXPECT_EQ(walked, (std::vector<std::string>{"abc", "\xc3\xa4\xc3\xb6\xc3\xbc", "x"}));
  EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), err::NoCurrentRecord);
}

TEST_F(RegUtilitiesTest, EnumerateBinaryKeyListsEveryValueInHexadecimal) {
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch, "v", reg::REG_BINARY, "\x01\xff"s), 0);
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch, "Text", reg::REG_SZ, "ab\0"s), 0);
  ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch, "Empty", reg::REG_BINARY, ""), 0);
  struct Row {
    std::string hive;
    int format;
    std::string key;
    std::string listed;
  };
  for (const Row& r : std::vector<Row>{
           {AppKey, 0, "", "1: v: 01, FF\r\n2: Text: 61, 62, 00\r\n3: Empty: \r\n"},
           {AppKey, 0, "V", "01, FF"},
           {AppKey, 1, "v", "\tszBin=\"\"; szBin[0]=\"1\"; szBin[1]=\"255\";"},
           {AppKey, 0, "nothing", ""},
           {AppKey + "\\Missing", 0, "", ""},
           {"HKLM\\" + AppBranch, 0, "", ""},
       }) {
    EXPECT_EQ(ru.EnumerateBinaryKey(r.hive, r.format, r.key), r.listed) << r.hive << " " << r.key;
  }
}

TEST_F(RegUtilitiesTest, EnumerateAnyKeyGivesTextRowsInTheStoresOrder) {
  std::string store = "REGEDIT4\n[" + AppKey + "]\n\"HostName\"=\"ftp.example.com\"\n\"Path\"=\"/pub/\"\n" +
                      "\"Count\"=dword:0000000c\n\"Bytes\"=hex:61,00,62,00\n[HKEY_CURRENT_USER\\Many]\n";
  for (int i = 0; i < 10'000; ++i) store += "\"v" + std::to_string(i) + "\"=\"" + std::to_string(i) + "\"\n";
  sandbox.WriteFile("registry.reg", store);

  auto rs = ru.EnumerateAnyKey(AppKey);
  ASSERT_TRUE(rs);
  EXPECT_EQ(rs->Field("Name"), "HostName") << "standing on the first row";
  // Data less its last byte: a text's terminator, but also the last byte of a number or of binary data.
  EXPECT_EQ(Rows(*rs), (std::vector<std::string>{"HostName=ftp.example.com", "Path=/pub/", "Count=\x0c\0\0"s,
                                                 "Bytes=a\0b"s}));
  EXPECT_EQ(Rows(*ru.EnumerateAnyKey(AppKey, "pATH")), std::vector<std::string>{"Path=/pub/"});
  EXPECT_TRUE(OpenAndEmpty(ru.EnumerateAnyKey(AppKey, "nothing")));
  EXPECT_TRUE(OpenAndEmpty(ru.EnumerateAnyKey("HKEY_USERS"))) << "a root alone is a key too";
  EXPECT_EQ(ru.EnumerateAnyKey(AppKey + "\\Missing"), nullptr);
  EXPECT_EQ(ru.EnumerateAnyKey("HKLM\\" + AppBranch), nullptr);
  auto many = ru.EnumerateAnyKey("HKEY_CURRENT_USER\\Many");
  ASSERT_TRUE(many);
  EXPECT_EQ(many->RecordCount(), 10'000);
  EXPECT_TRUE(ws.boxes.empty());
}

TEST_F(RegUtilitiesTest, EnumerateAnyBranchGivesTheSubKeysInNameOrder) {
  for (const char* sub : {"b", "A", "c\\deeper"}) {
    ASSERT_EQ(SetRaw(reg::HKEY_LOCAL_MACHINE, AppBranch + "\\" + sub, "v", reg::REG_SZ, "1\0"s), 0);
  }
  auto rs = ru.EnumerateAnyBranch(AppKey);
  ASSERT_TRUE(rs);
  EXPECT_EQ(rs->Field("Name"), "A");
  EXPECT_EQ(Rows(*rs), (std::vector<std::string>{"A=", "b=", "c="}));
  EXPECT_EQ(Rows(*ru.EnumerateAnyBranch("HKEY_LOCAL_MACHINE")), std::vector<std::string>{"SOFTWARE="});
  EXPECT_TRUE(OpenAndEmpty(ru.EnumerateAnyBranch(AppKey + "\\A")));
  EXPECT_EQ(ru.EnumerateAnyBranch(AppKey + "\\Missing"), nullptr);
}

// Names and data beyond the 2000-character buffers end a listing silently; beyond the record set's
// 255-character columns they raise. Each row's value stands between two short ones.
TEST_F(RegUtilitiesTest, ListingsEndAtTheBuffersAndRaiseAtTheColumns) {
  const std::string umlauts = [] {
    std::string s;
    for (int i = 0; i < 255; ++i) s += "\xc3\xbc";
    return s;
  }();
  struct Row {
    const char* what;
    std::string name, data;
    bool listed;  // fits the buffers, so the listing goes on past it
    int raised;   // by EnumerateAnyKey
  };
  const std::vector<Row> rows = {
      {"255 characters", std::string(255, 'n'), std::string(255, 'd') + '\0', true, 0},
      {"255 characters in 510 bytes", umlauts, umlauts + '\0', true, 0},
      {"name of 256", std::string(256, 'n'), "x\0"s, true, err::MultipleStepErrors},
      {"data of 256", "d", std::string(256, 'd') + '\0', true, err::MultipleStepErrors},
      {"no data at all", "e", "", true, err::InvalidProcedureCall},
      {"name of 1999", std::string(1999, 'n'), "x\0"s, true, err::MultipleStepErrors},
      {"name of 2000", std::string(2000, 'n'), "x\0"s, false, 0},
      {"data of 2000", "d", std::string(2000, 'd'), true, err::MultipleStepErrors},
      {"data of 2001", "d", std::string(2001, 'd'), false, 0},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    const std::string key = "Rows\\" + std::to_string(i);
    const std::string hive = "HKEY_CURRENT_USER\\" + key;
    ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, key, "first", reg::REG_SZ, "1\0"s), 0);
    ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, key, r.name, reg::REG_BINARY, r.data), 0);
    ASSERT_EQ(SetRaw(reg::HKEY_CURRENT_USER, key, "last", reg::REG_SZ, "2\0"s), 0);
    const std::string binary = ru.EnumerateBinaryKey(hive, 0);
    EXPECT_EQ(binary.find("3: last: 32, 00\r\n") != std::string::npos, r.listed) << r.what;
    EXPECT_EQ(binary.find("1: first: 31, 00\r\n"), 0u) << r.what;
    std::unique_ptr<Recordset> rs;
    EXPECT_EQ(ErrorOf([&] { rs = ru.EnumerateAnyKey(hive); }), r.raised) << r.what;
    if (!r.raised) {
      EXPECT_EQ(rs->RecordCount(), r.listed ? 3 : 1) << r.what;
    }
  }
  EXPECT_TRUE(ws.boxes.empty());
}

TEST_F(RegUtilitiesTest, DeleteValueIsTrueWhenTheValueIsGoneAfterwards) {
  EXPECT_TRUE(ru.DeleteValue(AppKey, "HostName"));
  EXPECT_TRUE(std::filesystem::is_empty(sandbox.Root())) << "nothing to delete, nothing created";
  ru.SetKeyValue(AppKey, "HostName", "ftp");
  ru.SetKeyValue(AppKey, "FileMask", "sdat*.exe");
  EXPECT_TRUE(ru.DeleteValue(AppKey, "HOSTNAME"));
  EXPECT_EQ(ru.GetKeyType(AppKey, "HostName"), -1);
  EXPECT_EQ(ru.GetKeyValue(AppKey, "FileMask", ""), "sdat*.exe");
  for (const std::string& hive : {AppKey, AppKey + "\\Missing", "HKLM\\" + AppBranch, "HKEY_LOCAL_MACHINE"s}) {
    EXPECT_TRUE(ru.DeleteValue(hive, "HostName")) << hive;
  }
  // A store that cannot be written holds nothing to delete; one that cannot be read may still hold it.
  sandbox.WriteFile("plainfile", "x");
  ::setenv("KESTRUN_REGISTRY", (sandbox.Root() / "plainfile" / "registry.reg").c_str(), 1);
  EXPECT_TRUE(ru.DeleteValue(AppKey, "FileMask"));
  const std::string damaged = "REGEDIT4\n[" + AppKey + "]\n\"FileMask\"=\"sdat*.exe\"\ngarbage\n";
  ::setenv("KESTRUN_REGISTRY", sandbox.WriteFile("damaged.reg", damaged).c_str(), 1);
  EXPECT_FALSE(ru.DeleteValue(AppKey, "FileMask"));
  EXPECT_EQ(Sandbox::ReadFile(sandbox.Root() / "damaged.reg"), damaged);
  EXPECT_TRUE(ws.boxes.empty());
}

TEST_F(RegUtilitiesTest, DeleteKeyDeletesOnlyAKeyWithoutSubKeys) {
  const std::string store = "REGEDIT4\n[" + AppKey + "]\n\"keep\"=\"1\"\n[" + AppKey + "\\Leaf]\n\"v\"=\"2\"\n";
  const auto file = sandbox.WriteFile("registry.reg", store);
  // Nothing that may go: the key has a sub-key, or is missing, or is a root; or its root is unknown.
  for (const std::string& hive : {AppKey, AppKey + "\\Missing", "HKEY_LOCAL_MACHINE"s, "HKLM\\" + AppBranch + "\\Leaf"}) {
    ru.DeleteKey(hive);
    ru.DeleteValue(AppKey, "missing");
  }
  EXPECT_EQ(Sandbox::ReadFile(file), store);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sandbox.Root()), {}), 1) << "not even a lock file";
  ru.DeleteKey(AppKey + "\\leaf");
  EXPECT_TRUE(OpenAndEmpty(ru.EnumerateAnyBranch(AppKey)));
  EXPECT_EQ(ru.GetKeyValue(AppKey, "keep", ""), "1");
  EXPECT_TRUE(ws.boxes.empty());
}

}  // namespace
}  // namespace kestrun::testing
