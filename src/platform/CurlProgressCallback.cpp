// libcurl's progress callback: progress events, cancellation and the stall watch.
#include <algorithm>

#include "platform/Cancellation.h"
#include "platform/CurlTransfer.h"

namespace kestrun::platform::curl {

// libcurl calls this many times a second while data flows and about once a second while it waits,
// also while it waits for a reply on the control connection. So it is where a cancellation is noticed
// and where a server that sends nothing, data or reply, is given up on.
extern "C" int ProgressCallback(void* userdata, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(userdata);
  if (transfer->stop != StopReason::None) return 1;  // a handler threw while the listing was read
  if (CancelRequested()) {
    transfer->stop = StopReason::Cancelled;
    return 1;
  }

  const Clock::time_point now = Clock::now();
  if (dlnow != transfer->lastBytes) {
    transfer->lastBytes = dlnow;
    transfer->lastMovement = now;
  }
  const auto limit =
      transfer->serverAnswered ? transfer->stallTimeout : std::max(transfer->stallTimeout, transfer->connectTimeout);
  if (now - transfer->lastMovement > limit) {
    transfer->stop = StopReason::Stalled;
    return 1;
  }

  if (transfer->reportProgress && transfer->events && dltotal > 0) {
    const int percent = static_cast<int>(std::clamp<curl_off_t>(dlnow * 100 / dltotal, 0, 100));
    if (percent != transfer->lastPercent && now - transfer->lastProgressEvent >= kMinProgressInterval) {
      transfer->lastPercent = percent;
      transfer->lastProgressEvent = now;
      if (!transfer->RunHandler([&] { transfer->events->FtpClient_Progress(static_cast<int16_t>(percent)); })) return 1;
    }
  }
  return 0;
}

}  // namespace kestrun::platform::curl
