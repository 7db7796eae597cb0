#include "render_progress.h"

#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <string>

namespace {

double seconds_now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// "1 h 05 min", "3 min 20 s", "12 s".
std::string duration(double seconds) {
  const long long s = static_cast<long long>(seconds + 0.5);
  char text[64];
  if (s >= 3600)
    snprintf(text, sizeof text, "%lld h %02lld min", s / 3600, s / 60 % 60);
  else if (s >= 60)
    snprintf(text, sizeof text, "%lld min %02lld s", s / 60, s % 60);
  else
    snprintf(text, sizeof text, "%lld s", s);
  return text;
}

}  // namespace

Progress::Progress(unsigned long long total, const char* unit)
    : total_(total), unit_(unit), on_(total > 0 && isatty(2)), start_(seconds_now()) {}

void Progress::at(unsigned long long done) {
  if (!on_) return;
  const double now = seconds_now();
  if (now - start_ < 1.0 || now - last_ < 0.25 || done == 0) return;
  last_ = now;
  shown_ = true;
  const double share = static_cast<double>(done) / static_cast<double>(total_);
  fprintf(stderr, "\rrainbow_render: %3d%% of %llu %s, %s left  ", static_cast<int>(100.0 * share),
          total_, unit_, duration((now - start_) * (1 - share) / share).c_str());
}

void Progress::finish() {
  if (shown_)
    fprintf(stderr, "\rrainbow_render: 100%% of %llu %s in %s          \n", total_, unit_,
            duration(seconds_now() - start_).c_str());
}
