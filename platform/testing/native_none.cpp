// The native questions of a backend without native windows (null, web).
#include "testing_backend.h"

namespace plat {
namespace testing {

bool uses_renderer(uint32_t) {
  return false;
}

uint64_t native_window(uint32_t) {
  return 0;
}

}  // namespace testing
}  // namespace plat
