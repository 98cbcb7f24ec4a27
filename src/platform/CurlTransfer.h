#pragma once
// The state one libcurl request shares with its callbacks, and the callbacks themselves (one file
// each: CurlWriteCallback.cpp, CurlProgressCallback.cpp, CurlDebugCallback.cpp). Private to the
// libcurl FTP client.
#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <string>

#include "platform/FtpClient.h"
#include "platform/FtpListing.h"

namespace kestrun::platform::curl {

using Clock = std::chrono::steady_clock;

// Why a callback stopped the request.
enum class StopReason { None, Cancelled, Stalled, HandlerThrew, LocalWriteFailed };

struct Transfer {
  enum class Kind { Command, Listing, Download };
  Kind kind = Kind::Command;
  FtpClientEvents* events = nullptr;

  // Download: the open temporary file and what has gone into it.
  int fd = -1;
  uint64_t bytesWritten = 0;
  int writeErrno = 0;
  bool flushToDisk = true;

  // Listing: the raw bytes of the name list go here (see CurlDebugCallback.cpp for why).
  NameListParser* listing = nullptr;

  // Progress events (downloads only): at most one per kMinProgressInterval, only on a change.
  bool reportProgress = false;
  int lastPercent = -1;
  Clock::time_point lastProgressEvent{};

  // The stall watch: anything arriving from the server, data or a reply line, counts as movement.
  // Until the server's first reply the connect time-out applies instead, when it is the longer one.
  std::chrono::milliseconds stallTimeout{60000};
  std::chrono::milliseconds connectTimeout{30000};
  bool serverAnswered = false;
  curl_off_t lastBytes = -1;
  Clock::time_point lastMovement = Clock::now();

  // The server's last reply line, made printable, for failure texts, and the last command sent to it
  // (its first word, upper case).
  std::string lastReply;
  std::string lastCommand;
  // What the replies told: FEAT offers MLSD (MLST), SIZE answered 550, the byte count announced in the
  // opening reply of a download (-1 when it gave none).
  bool inFeatures = false;
  bool offersMlsd = false;
  bool sizeRefused = false;
  int64_t announcedBytes = -1;
  // Greetings seen, one per control connection opened.
  long greetings = 0;
  // Copy libcurl's conversation to standard error (KESTRUN_FTP_TRACE set).
  bool trace = false;

  StopReason stop = StopReason::None;
  std::exception_ptr handlerError;
  CURLcode rc = CURLE_OK;  // libcurl's result, once the request has run

  // The code of the last reply, 0 when there was none.
  int LastReplyCode() const;

  // Runs an event handler from inside a callback: libcurl is C, so an exception must not pass through
  // it. A throwing handler stops the request; the client rethrows once libcurl has returned.
  template <typename F>
  bool RunHandler(F&& f) noexcept {
    try {
      f();
      return true;
    } catch (...) {
      handlerError = std::current_exception();
      stop = StopReason::HandlerThrew;
      return false;
    }
  }
};

inline constexpr std::chrono::milliseconds kMinProgressInterval{50};
// A download asks the system to start writing its data to disk each time this much more has arrived.
inline constexpr uint64_t kWritebackStep = 8u << 20;

extern "C" {
size_t WriteCallback(char* data, size_t size, size_t count, void* transfer);
int ProgressCallback(void* transfer, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow);
int DebugCallback(CURL* handle, curl_infotype type, char* data, size_t size, void* transfer);
}

}  // namespace kestrun::platform::curl
