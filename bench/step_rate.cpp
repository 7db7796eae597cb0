// Samples per second of the sample step into a plain 640 x 480 array, with
// no benchmark library, so the same source builds natively and for the
// browser (web preset: step_rate.html), and the two rates compare the
// compilers' code alone.  Prints one line: "step_rate: N samples/s".
//
//   rainbow_step_rate [SECONDS]      default 3
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <vector>

#include "rainbow.h"

namespace {

const int kWidth = 640, kHeight = 480;
const int kBatch = 1 << 16;

// A batch of samples in a call of its own, as the programs take one step a
// call: a browser's wasm engine optimises a function only between calls
// (no on-stack replacement), so one long loop in main() would never be.
__attribute__((noinline)) void sample_batch(COLORREF* px) {
  for (int i = 0; i < kBatch; ++i) {
    if (!rainbow_sample_point()) continue;
    rainbow_hits hits;
    const int count = rainbow_sample_rays(&hits);
    for (int j = 0; j < count; ++j) {
      const int x = hits.point[j].x, y = hits.point[j].y;
      if (x >= 0 && x < kWidth && y >= 0 && y < kHeight)
        px[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)] = hits.point[j].color;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? atof(argv[1]) : 3.0;
  const int w = kWidth, h = kHeight;
  std::vector<COLORREF> px(static_cast<size_t>(w) * h);
  rainbow_update_layout(MAKELPARAM(w, h));
  rainbow_srand(1);
  using clock = std::chrono::steady_clock;
  const auto start = clock::now();
  double elapsed = 0;
  long long samples = 0;
  while (elapsed < seconds) {
    sample_batch(px.data());
    samples += kBatch;
    elapsed = std::chrono::duration<double>(clock::now() - start).count();
  }
  printf("step_rate: %.0f samples/s (lit check %u)\n", static_cast<double>(samples) / elapsed,
         static_cast<unsigned>(px[static_cast<size_t>(h / 2) * w + w / 2]));
  return 0;
}
