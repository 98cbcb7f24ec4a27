#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kestrun::platform {

// Longest file name (in bytes) that the local file systems take.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// What a name from the server is good for. Everything a server sends is untrusted: a name is used
// for a local file only when it is Bare.
enum class RemoteNameKind {
  Bare,      // a plain file name: safe to put after the local folder
  Empty,     // an empty line of the listing: nothing to report
  DotEntry,  // "." or "..": the folder itself or its parent, listed by some servers; never a file
  Unsafe,    // a path separator, a control character, or too long
};
RemoteNameKind ClassifyRemoteName(std::string_view name);
inline bool IsBareFileName(std::string_view name) { return ClassifyRemoteName(name) == RemoteNameKind::Bare; }

// A name made fit for a status text: control characters and backslashes become \r, \n, \t, \\ or
// \xNN, and it is cut to about `maxBytes` bytes with "..." marking the cut.
std::string PrintableName(std::string_view name, std::size_t maxBytes = 80);

// What kind of entry a listing line shows.
enum class RemoteEntryKind {
  File,     // a plain file
  Folder,   // a folder (MLSD types dir, cdir, pdir; a LIST line of type d or <DIR>)
  Other,    // something that is no file to fetch (a device, a pipe)
  Unknown,  // the line does not tell (no type fact, a link whose target is not shown)
};

// One line of an MLSD listing, "fact=value;fact=value; name": the kind its type fact gives and the
// name after the first blank (empty when the line has none).
struct MlsdEntry {
  RemoteEntryKind kind;
  std::string_view name;
};
MlsdEntry ParseMlsdLine(std::string_view line);

// The kind of entry a line of a LIST listing shows, by the forms servers use: Unix ("drwxr-xr-x ...
// name", "lrwxrwxrwx ... name -> target") and DOS ("03-01-24  08:00AM  <DIR>  name"). Folder for a
// folder, Unknown for a link, File otherwise. The name's place in the line is not fixed by any rule.
RemoteEntryKind ListLineKind(std::string_view line);

// Splits a listing into lines as its bytes arrive, in chunks of any size. Lines end at LF; one CR
// before the LF is dropped (a CR anywhere else stays part of the line, so that the name check sees it).
// Memory stays bounded: a line is kept only up to a little more than `maxLineBytes` (by default the
// longest file name), and a longer one is delivered cut, with `tooLong` set.
class NameListParser {
 public:
  using LineHandler = std::function<void(std::string_view line, bool tooLong)>;
  explicit NameListParser(LineHandler onLine, std::size_t maxLineBytes = kMaxFileNameBytes);

  void Feed(const char* data, std::size_t size);
  // The listing ended normally: delivers a last line that lacked its LF. Not called when a listing
  // broke off, so a name cut short by a failure is never taken for a whole one.
  void Finish();

 private:
  void Deliver();

  LineHandler onLine_;
  std::size_t maxLineBytes_;
  std::string line_;
  bool tooLong_ = false;
};

}  // namespace kestrun::platform
