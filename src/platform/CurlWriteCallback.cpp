// libcurl's write callback: the body of a request.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/CurlTransfer.h"

namespace kestrun::platform::curl {

// A download goes straight to the temporary file's descriptor, chunk by chunk as libcurl hands it
// over (up to the request's buffer size), with no copy and no allocation. A listing's body is taken
// from the debug callback instead, so here it is only acknowledged.
extern "C" size_t WriteCallback(char* data, size_t size, size_t count, void* userdata) {
  auto* transfer = static_cast<Transfer*>(userdata);
  const size_t total = size * count;
  if (transfer->kind != Transfer::Kind::Download) return transfer->stop == StopReason::None ? total : 0;

  size_t done = 0;
  while (done < total) {
    const ssize_t n = ::write(transfer->fd, data + done, total - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      transfer->writeErrno = errno;
      transfer->stop = StopReason::LocalWriteFailed;
      return 0;  // anything short of `total` makes libcurl stop with CURLE_WRITE_ERROR
    }
    done += static_cast<size_t>(n);
  }
  const uint64_t before = transfer->bytesWritten;
  transfer->bytesWritten += total;
  if (transfer->flushToDisk && before / kWritebackStep != transfer->bytesWritten / kWritebackStep) {
    // Start writing the last full step to disk now, while the transfer goes on, so that the flush
    // before the rename has little left to wait for. Only a hint: the flush reports any failure.
    const uint64_t start = (transfer->bytesWritten / kWritebackStep - 1) * kWritebackStep;
    ::sync_file_range(transfer->fd, static_cast<off_t>(start), static_cast<off_t>(kWritebackStep),
                      SYNC_FILE_RANGE_WRITE);
  }
  return total;
}

}  // namespace kestrun::platform::curl
