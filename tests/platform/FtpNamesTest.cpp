// What the FTP layer makes of a server's words: host names, and the listing's lines and names.
#include <gtest/gtest.h>

#include "platform/FtpAddress.h"
#include "platform/FtpListing.h"

namespace kestrun::platform {
namespace {

TEST(ParseFtpHostName, HostPortAndIpv6) {
  const struct {
    const char* input;
    int defaultPort;
    const char* authority;  // nullptr: rejected
  } cases[] = {
      {"ftp.example.com", 2121, "ftp.example.com:2121"},
      {"ftp.example.com:2121", 990, "ftp.example.com:2121"},  // the host's port wins
      {"  ftp.example.com  ", 21, "ftp.example.com:21"},
      {"127.0.0.1:65535", 21, "127.0.0.1:65535"},
      {"[::1]:2121", 21, "[::1]:2121"},
      {"[2001:db8::7]:21", 99, "[2001:db8::7]:21"},
      {"2001:db8::7", 21, "[2001:db8::7]:21"},
      {"::ffff:192.0.2.1", 21, "[::ffff:192.0.2.1]:21"},
      {"", 21, nullptr},
      {"host:", 21, nullptr},
      {"host:0", 21, nullptr},
      {"host:65536", 21, nullptr},
      {"host:21x", 21, nullptr},
      {"host", 0, nullptr},
      {"[::1", 21, nullptr},
      {"[::1]x", 21, nullptr},
      {"[host]", 21, nullptr},
      {"a:b:c", 21, nullptr},  // colons and hex digits alone make no address
      {"[1:2:3:4:5:6:7:8:9]", 21, nullptr},
      {"1::2::3", 21, nullptr},
      {"ftp://host", 21, nullptr},
      {"user@host", 21, nullptr},
      {"host/path", 21, nullptr},
      {"ho st", 21, nullptr},
      {"host\r\nQUIT", 21, nullptr},
      {"%68ost", 21, nullptr},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseFtpHostName(c.input, c.defaultPort);
    if (c.authority) {
      ASSERT_TRUE(parsed) << c.input;
      EXPECT_EQ(parsed->Authority(), c.authority) << c.input;
    } else {
      EXPECT_FALSE(parsed) << c.input << " gave " << parsed->Authority();
    }
  }
}

struct Line {
  std::string text;
  bool tooLong;
  bool operator==(const Line&) const = default;
};

// Feeds `data` in chunks of `chunk` bytes and collects the lines.
std::vector<Line> Parse(const std::string& data, std::size_t chunk, bool finish = true) {
  std::vector<Line> lines;
  NameListParser parser([&](std::string_view line, bool tooLong) { lines.push_back({std::string(line), tooLong}); });
  for (std::size_t i = 0; i < data.size(); i += chunk) parser.Feed(data.data() + i, std::min(chunk, data.size() - i));
  if (finish) parser.Finish();
  return lines;
}

TEST(NameListParser, SplitsLinesWhateverTheChunks) {
  const std::string longName(255, 'x');
  const struct {
    const char* what;
    std::string input;
    std::vector<Line> expected;
  } cases[] = {
      {"CRLF", "a.exe\r\nb.exe\r\n", {{"a.exe", false}, {"b.exe", false}}},
      {"no final line end", "a.exe\r\nb.exe", {{"a.exe", false}, {"b.exe", false}}},
      {"bare CR stays in the name", "a\rb\r\n", {{"a\rb", false}}},
      {"only one CR is a line end", "a\r\r\n", {{"a\r", false}}},
      {"empty lines", "\r\n\na\r\n", {{"", false}, {"", false}, {"a", false}}},
      {"longest name", longName + "\r\n", {{longName, false}}},
      {"one byte too long", longName + "y\r\n", {{longName, true}}},
      {"far too long", std::string(100000, 'z') + "\r\nok\r\n", {{std::string(255, 'z'), true}, {"ok", false}}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{1} << 20}) {
      EXPECT_EQ(Parse(c.input, chunk), c.expected) << c.what << ", chunks of " << chunk;
    }
  }
  // Without Finish (the transfer failed) the cut-off "sdat43" must not come out as a name.
  EXPECT_EQ(Parse("sdat4300.exe\r\nsdat43", 4, false), (std::vector<Line>{{"sdat4300.exe", false}}));
}

TEST(NameListParser, ThrowingHandlerLeavesParserUsable) {
  int calls = 0;
  NameListParser parser([&](std::string_view line, bool) {
    ++calls;
    if (line == "bad") throw std::runtime_error("handler failed");
    EXPECT_EQ(line, "good");
  });
  EXPECT_THROW(parser.Feed("bad\r\n", 5), std::runtime_error);
  parser.Feed("good\r\n", 6);
  EXPECT_EQ(calls, 2);
}

TEST(ClassifyRemoteName, OnlyBareNamesAreSafe) {
  const struct {
    std::string name;
    RemoteNameKind kind;
  } cases[] = {
      {"sdat4301.exe", RemoteNameKind::Bare},
      {"..hidden", RemoteNameKind::Bare},
      {"caf\xc3\xa9.exe", RemoteNameKind::Bare},  // é
      {std::string(255, 'a'), RemoteNameKind::Bare},
      {"", RemoteNameKind::Empty},
      {".", RemoteNameKind::DotEntry},
      {"../sdat4301.exe", RemoteNameKind::Unsafe},
      {"sdat/../../etc", RemoteNameKind::Unsafe},
      {"..\\sdat.exe", RemoteNameKind::Unsafe},
      {"C:\\x.exe", RemoteNameKind::Unsafe},
      {"a\rb", RemoteNameKind::Unsafe},
      {"tab\there", RemoteNameKind::Unsafe},
      {std::string("nul\0x", 5), RemoteNameKind::Unsafe},
      {"esc\x1b[31m", RemoteNameKind::Unsafe},
      {"c1\xc2\x85", RemoteNameKind::Unsafe},  // U+0085, next line
      {std::string(256, 'a'), RemoteNameKind::Unsafe},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyRemoteName(c.name), c.kind) << PrintableName(c.name);
}

// What listing lines say an entry is, in forms the test server does not give (its LIST lines are Unix
// ones, and its MLSD follows links).
TEST(ListingLines, TellFilesFromFolders) {
  using K = RemoteEntryKind;
  const struct {
    std::string mlsd;
    K kind;
    std::string name;
  } mlsd[] = {
      {"modify=20240301080000;perm=r;size=5;type=file; sdat 4301.exe", K::File, "sdat 4301.exe"},
      {"Type=DIR;perm=el; sdat9999.exe", K::Folder, "sdat9999.exe"},
      {"type=OS.unix=slink:/pub/sdat4301.exe; sdat.exe", K::Unknown, "sdat.exe"},  // a link: leads anywhere
      {"type=OS.unix=chr-13/29; tty.exe", K::Other, "tty.exe"},
      {"size=5; untyped.exe", K::Unknown, "untyped.exe"},
  };
  for (const auto& c : mlsd) {
    const MlsdEntry entry = ParseMlsdLine(c.mlsd);
    EXPECT_EQ(entry.kind, c.kind) << c.mlsd;
    EXPECT_EQ(entry.name, c.name) << c.mlsd;
  }
  const struct {
    std::string list;
    K kind;
  } list[] = {
      {"03-01-24  08:00AM       <DIR>          sdat9999.exe", K::Folder},
      {"03-01-24  08:00AM                    5 sdat4301.exe", K::File},
  };
  for (const auto& c : list) EXPECT_EQ(ListLineKind(c.list), c.kind) << c.list;
}

TEST(PrintableName, EscapesControlsAndCuts) {
  EXPECT_EQ(PrintableName("a\rb\n\x1b\\"), "a\\rb\\n\\x1B\\\\");
  EXPECT_EQ(PrintableName("\xC2\x9B"
                          "2J\xC2\xA0"),
            "\\u009B2J\xC2\xA0");  // C1 escaped, U+00A0 kept
  EXPECT_EQ(PrintableName(std::string(100, 'x'), 10), std::string(10, 'x') + "...");
}

}  // namespace
}  // namespace kestrun::platform
