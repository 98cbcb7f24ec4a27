#pragma once
#include "util/RuntimeError.h"

namespace kestrun::testing {

// The number of the runtime error `f` raises, 0 when it raises none.
template <typename F>
int ErrorOf(F&& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace kestrun::testing
