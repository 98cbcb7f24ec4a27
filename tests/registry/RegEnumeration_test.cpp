// Listing and deleting through RegUtilities, and the record sets the listings come in.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "RegistryTestSupport.h"
#include "registry/Recordset.h"
#include "support/FolderNames.h"
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
  EXPECT_EQ(ErrorOf([&] { rs.SetField("Data", "abcd"); }), err::MultipleStepErrors);
  EXPECT_EQ(ErrorOf([&] { rs.SetField("Size", "x"); }), err::ItemNotFound);
  EXPECT_EQ(ErrorOf([&] { rs.Field("Size"); }), err::ItemNotFound);
  EXPECT_EQ(Rows(rs), (std::vector<std::string>{"abc=", "\xc3\xa4\xc3\xb6\xc3\xbc=", "x="}));
  EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), err::NoCurrentRecord);
}

// The program's key with values of several types, and keys below it: one holding binary values, one
// with a key of its own, one with none.
class ListingTest : public RegUtilitiesTest {
 protected:
  void SetUp() override {
    sandbox.WriteFile("registry.reg", "REGEDIT4\n[" + AppKey + "]\n\"HostName\"=\"ftp.example.com\"\n" +
                                          "\"Path\"=\"/pub/\"\n\"Count\"=dword:0000000c\n\"Bytes\"=hex:61,00,62,00\n[" +
                                          AppKey + "\\b]\n[" + AppKey + "\\A\\deeper]\n[" + Binary +
                                          "]\n\"v\"=hex:01,ff\n\"Text\"=\"ab\"\n\"Empty\"=hex:\n");
  }
  const std::string Binary = AppKey + "\\Binary";
};

TEST_F(ListingTest, EnumerateBinaryKeyListsEveryValueInHexadecimal) {
  struct Row {
    std::string hive;
    int format;
    std::string key;
    std::string listed;
  };
  for (const Row& r : std::vector<Row>{
           {Binary, 0, "", "1: v: 01, FF\r\n2: Text: 61, 62, 00\r\n3: Empty: \r\n"},
           {Binary, 0, "V", "01, FF"},
           {Binary, 1, "v", "\tszBin=\"\"; szBin[0]=\"1\"; szBin[1]=\"255\";"},
           {Binary, 0, "nothing", ""},
           {AppKey + "\\Missing", 0, "", ""},
           {"HKLM\\" + AppBranch, 0, "", ""},
       }) {
    EXPECT_EQ(ru.EnumerateBinaryKey(r.hive, r.format, r.key), r.listed) << r.hive << " " << r.key;
  }
}

TEST_F(ListingTest, EnumerateAnyKeyAndBranchGiveRowsInTheStoresOrder) {
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
  EXPECT_TRUE(OpenAndEmpty(ru.EnumerateAnyBranch(AppKey + "\\b")));
  for (const std::string& hive : {AppKey + "\\Missing", "HKLM\\" + AppBranch}) {
    EXPECT_EQ(ru.EnumerateAnyKey(hive), nullptr) << hive;
    EXPECT_EQ(ru.EnumerateAnyBranch(hive), nullptr) << hive;
  }
  EXPECT_TRUE(ws.boxes.empty());
}

// Names and data beyond the 2000-character buffers end a listing silently; beyond the record set's
// 255-character columns they raise. Each row's value stands between two short ones.
TEST_F(RegUtilitiesTest, ListingsEndAtTheBuffersAndRaiseAtTheColumns) {
  struct Row {
    const char* what;
    std::string name, data;
    bool listed;  // fits the buffers, so the listing goes on past it
    int raised;   // by EnumerateAnyKey
  };
  const std::vector<Row> rows = {
      {"255 characters", std::string(255, 'n'), std::string(255, 'd') + '\0', true, 0},
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
  sandbox.WriteFile("plainfile", "x");
  ::setenv("KESTRUN_REGISTRY", (sandbox.Root() / "plainfile" / "registry.reg").c_str(), 1);
  EXPECT_TRUE(ru.DeleteValue(AppKey, "keep"));
  const std::string damaged = store + "garbage\n";
  ::setenv("KESTRUN_REGISTRY", sandbox.WriteFile("damaged.reg", damaged).c_str(), 1);
  EXPECT_FALSE(ru.DeleteValue(AppKey, "keep"));
  EXPECT_EQ(Sandbox::ReadFile(sandbox.Root() / "damaged.reg"), damaged);
  EXPECT_TRUE(ws.boxes.empty());
}

}  // namespace
}  // namespace kestrun::testing
