// libcurl's debug callback: the server's replies, the raw bytes of name listings, and an optional trace.
#include <cstdio>

#include "platform/CurlTransfer.h"

namespace kestrun::platform::curl {
namespace {

void KeepReply(Transfer& transfer, const char* data, size_t size) {
  std::string_view line(data, size);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  transfer.lastReply = PrintableName(line, 160);
  // The last line of a server's greeting: a new control connection.
  if (line.size() >= 4 && line.substr(0, 4) == "220 ") ++transfer.greetings;
}

}  // namespace

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
    case CURLINFO_DATA_IN:
      if (transfer->kind == Transfer::Kind::Listing && transfer->listing && transfer->stop == StopReason::None) {
        // A throwing file-list handler is recorded; the write callback is not told, but the request
        // stops at the next progress call, and the rest of the listing is ignored.
        transfer->RunHandler([&] { transfer->listing->Feed(data, size); });
      }
      break;
    default:
      break;
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
