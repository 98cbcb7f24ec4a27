// libcurl's debug callback: the commands sent, the server's replies and what they tell, the raw bytes
// of listings, and an optional trace.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/CurlTransfer.h"
#include "platform/Text.h"

namespace kestrun::platform::curl {
namespace {

std::string_view WithoutLineEnd(const char* data, size_t size) {
  std::string_view line(data, size);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

using text::IsDigit;

// The last line of a reply: three digits and a blank. Lines before it carry a "-" there, or none.
bool IsFinalReplyLine(std::string_view line) {
  return line.size() >= 4 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]) && line[3] == ' ';
}

// "(12345 bytes)" in an opening reply, as ProFTPD and vsftpd give it; -1 when absent.
int64_t AnnouncedBytes(std::string_view line) {
  for (std::size_t close = line.find(" bytes)"); close != std::string_view::npos;
       close = line.find(" bytes)", close + 1)) {
    std::size_t start = close;
    while (start > 0 && IsDigit(line[start - 1])) --start;
    if (start == close || start == 0 || line[start - 1] != '(' || close - start > 18) continue;
    int64_t value = 0;
    for (std::size_t i = start; i < close; ++i) value = value * 10 + (line[i] - '0');
    return value;
  }
  return -1;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

void KeepCommand(Transfer& transfer, const char* data, size_t size) {
  const std::string_view command = WithoutLineEnd(data, size);
  transfer.lastCommand = Upper(command.substr(0, command.find(' ')));
  if (transfer.lastCommand == "FEAT") transfer.inFeatures = true;
}

void KeepReply(Transfer& transfer, const char* data, size_t size) {
  const std::string_view line = WithoutLineEnd(data, size);
  transfer.lastReply = PrintableName(line, 160);
  // The last line of a server's greeting: a new control connection.
  if (line.size() >= 4 && line.substr(0, 4) == "220 ") ++transfer.greetings;

  if (transfer.inFeatures) {
    // One feature a line, after a blank: "MLST type*;size*;..." offers MLSD too.
    if (IsFinalReplyLine(line)) {
      transfer.inFeatures = false;
    } else if (!line.empty() && line.front() == ' ') {
      std::string_view feature = line;
      while (!feature.empty() && feature.front() == ' ') feature.remove_prefix(1);
      const std::string name = Upper(feature.substr(0, feature.find(' ')));
      if (name == "MLST" || name == "MLSD") transfer.offersMlsd = true;
    }
    return;
  }
  if (!IsFinalReplyLine(line)) return;
  const int code = transfer.LastReplyCode();
  if (code == 550 && transfer.lastCommand == "SIZE") transfer.sizeRefused = true;
  if ((code == 150 || code == 125) && transfer.lastCommand == "RETR") transfer.announcedBytes = AnnouncedBytes(line);
}

}  // namespace

int Transfer::LastReplyCode() const {
  const std::string& r = lastReply;
  if (r.size() < 3 || !IsDigit(r[0]) || !IsDigit(r[1]) || !IsDigit(r[2])) return 0;
  return (r[0] - '0') * 100 + (r[1] - '0') * 10 + (r[2] - '0');
}

// libcurl lists names in ASCII mode and, on the way to the write callback, turns each CR of the data
// into a line break: a hostile name holding a bare CR would arrive as two harmless-looking names. The
// debug callback sees the bytes as they came off the wire, so the listing is parsed here, where the
// name check can see every CR.
extern "C" int DebugCallback(CURL*, curl_infotype type, char* data, size_t size, void* userdata) {
  auto* transfer = static_cast<Transfer*>(userdata);
  switch (type) {
    case CURLINFO_HEADER_IN:
      transfer->serverAnswered = true;
      transfer->lastMovement = Clock::now();
      KeepReply(*transfer, data, size);
      break;
    case CURLINFO_HEADER_OUT: KeepCommand(*transfer, data, size); break;
    case CURLINFO_DATA_IN:
      if (transfer->kind == Transfer::Kind::Listing && transfer->listing && transfer->stop == StopReason::None) {
        // A throwing file-list handler is recorded; the write callback is not told, but the request
        // stops at the next progress call, and the rest of the listing is ignored.
        transfer->RunHandler([&] { transfer->listing->Feed(data, size); });
      }
      break;
    default: break;
  }
  if (transfer->trace && (type == CURLINFO_TEXT || type == CURLINFO_HEADER_IN || type == CURLINFO_HEADER_OUT)) {
    const char* prefix = type == CURLINFO_HEADER_IN ? "< " : type == CURLINFO_HEADER_OUT ? "> " : "* ";
    if (type == CURLINFO_HEADER_OUT && size >= 5 && std::string_view(data, 5) == "PASS ") {
      std::fprintf(stderr, "ftp > PASS ****\n");  // a trace is for sharing; the password is not
    } else {
      std::fprintf(stderr, "ftp %s%.*s", prefix, static_cast<int>(size), data);
    }
  }
  return 0;
}

}  // namespace kestrun::platform::curl
