#pragma once
#include <time.h>

namespace kestrun::testing {

// The processor time this thread has used, in seconds. Unlike the wall clock it does not count the time
// other programs on a busy machine take, so the times of two input sizes can be compared.
inline double ThreadSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace kestrun::testing
