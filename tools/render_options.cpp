#include "render_options.h"

#include <errno.h>
#include <sched.h>
#include <stdlib.h>
#include <string.h>

#include <thread>

const char kUsage[] =
    "usage: rainbow_render [--size WxH] [--steps N] [--threads N] [--backdrop FILE]\n"
    "                      [--out FILE|-] [--help]\n";
const char kHelp[] =
    "Draws, with no display, what rainbow_plain's window shows after its first\n"
    "paint and N more samples, and writes it as a PNG.\n"
    "\n"
    "  --size WxH       client size in pixels, 1 to 16384 each (default 640x480)\n"
    "  --steps N        samples after the first paint, up to 1000000000000 (default 2000000)\n"
    "  --threads N      threads that draw, 1 to 1024 (default: one per processor);\n"
    "                   the picture is the same for any number\n"
    "  --backdrop FILE  a BMP or JPEG picture behind the bows, stretched over the\n"
    "                   window as rainbow_bitmap and rainbow_photo show theirs\n"
    "  --out FILE       the PNG to write (default rainbow.png); - writes it to standard output\n"
    "  --help           show this text\n"
    "\n"
    "Exit status: 0 written, 1 not written (the reason on standard error), 2 bad arguments.\n";

namespace {

const unsigned long kMaxSide = 16384;  // a client size WM_SIZE can carry
const unsigned long long kMaxSteps = 1000000000000ULL;
const unsigned long long kMaxThreads = 1024;

bool parse_number(const char* text, unsigned long long max, unsigned long long* out) {
  if (!text || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || v > max) return false;
  *out = v;
  return true;
}

bool parse_size(const char* text, int* w, int* h) {
  const char* x = strchr(text, 'x');
  if (!x) return false;
  const std::string left(text, static_cast<size_t>(x - text));
  unsigned long long cw = 0, ch = 0;
  if (!parse_number(left.c_str(), kMaxSide, &cw) || !parse_number(x + 1, kMaxSide, &ch))
    return false;
  if (cw == 0 || ch == 0) return false;
  *w = static_cast<int>(cw);
  *h = static_cast<int>(ch);
  return true;
}

// One option taking a value: its name, what a good value is, and how to
// take it.
struct Option {
  const char* name;
  const char* expected;
  bool (*take)(const char* value, Options* o);
};

const Option kOptions[] = {
    {"--size", "WxH, each side 1 to 16384",
     [](const char* v, Options* o) { return parse_size(v, &o->width, &o->height); }},
    {"--steps", "a whole number 0 to 1000000000000",
     [](const char* v, Options* o) { return parse_number(v, kMaxSteps, &o->steps); }},
    {"--threads", "a whole number 1 to 1024",
     [](const char* v, Options* o) {
       unsigned long long n = 0;
       if (!parse_number(v, kMaxThreads, &n) || n == 0) return false;
       o->threads = static_cast<int>(n);
       return true;
     }},
    {"--backdrop", "a file name",
     [](const char* v, Options* o) { return *v && (o->backdrop = v, true); }},
    {"--out", "a file name or -",
     [](const char* v, Options* o) { return *v && (o->out = v, true); }},
};

}  // namespace

bool parse_options(int argc, char** argv, Options* o, std::string* problem) {
  bool seen[sizeof kOptions / sizeof kOptions[0]] = {};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      o->help = true;
      return true;
    }
    size_t k = 0;
    while (k < sizeof kOptions / sizeof kOptions[0] && arg != kOptions[k].name) ++k;
    if (k == sizeof kOptions / sizeof kOptions[0])
      return *problem = "unknown argument \"" + arg + "\"", false;
    if (seen[k]) return *problem = arg + " given twice", false;
    seen[k] = true;
    if (i + 1 >= argc) return *problem = arg + " needs a value: " + kOptions[k].expected, false;
    const char* value = argv[++i];
    if (!kOptions[k].take(value, o))
      return *problem = arg + " \"" + value + "\": expected " + kOptions[k].expected, false;
  }
  return true;
}

int usable_processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
}
