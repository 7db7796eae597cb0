#include "render_options.h"

#include <ctype.h>
#include <errno.h>
#include <sched.h>
#include <stdlib.h>
#include <string.h>

#include <thread>

const char kUsage[] =
    "usage: rainbow_render [--size WxH] [--steps N] [--threads N] [--backdrop FILE]\n"
    "                      [--out FILE|-] [--help]\n"
    "       rainbow_render --model physical [--optics rays|airy|mie] [--wavelength NM]\n"
    "                      [--index N] [--temperature C] [--polarizer DEG] [--sun-disc DEG]\n"
    "                      [--sun-elevation DEG] [--drop-radius UM] [--drop-spread S]\n"
    "                      [--exposure E] [--profile FILE.csv] [--profile-bin DEG]\n"
    "                      [--seed N] [the options above]\n";
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
    "The physical model (--model physical; the default is --model classic, the\n"
    "programs' picture): sunlight's spectrum, water's refractive index, both\n"
    "polarisations and the sun's disc and height; each ray adds its light to the\n"
    "sky at its angle from the antisolar point, and the CIE 1931 observer turns the\n"
    "sums into sRGB.  --steps counts rays (default 20000000).\n"
    "  --optics rays|airy|mie  traced rays (default), or the scattering angle drawn\n"
    "                   from Airy's or Lorenz-Mie theory for the drop's size\n"
    "  --wavelength NM  light of one wavelength, 380 to 780 (default: sunlight)\n"
    "  --index N        a fixed refractive index, 1.1 to 1.9 (default: water's)\n"
    "  --temperature C  the water's temperature, 0 to 99 (default 20)\n"
    "  --polarizer DEG  a linear polarising filter, its axis DEG from the horizontal\n"
    "  --sun-disc DEG   the sun's diameter, 0 (a point) to 10 (default 0.53)\n"
    "  --sun-elevation DEG  the sun's height, 0 to 90 (default 0)\n"
    "  --drop-radius UM     the drops' radius in micrometres, 1 to 5000 (default\n"
    "                   500), with --optics airy or mie\n"
    "  --drop-spread S  the log-normal spread of the radii, 0 to 1 (default 0)\n"
    "  --exposure E     linear light per unit of radiance (default: the brightest\n"
    "                   thousandth of the sky turns white)\n"
    "  --profile FILE   also writes intensity per unit solid angle against the\n"
    "                   scattering angle, 120 to 180 degrees, as CSV\n"
    "  --profile-bin DEG  the profile's bin, 0.001 to 1 (default 0.01)\n"
    "  --seed N         the rays' random numbers, 0 to 2^64-1 (default 1)\n"
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

// A decimal number within [lo, hi].
bool parse_real(const char* text, double lo, double hi, double* out) {
  if (!text || !*text || isspace(static_cast<unsigned char>(*text))) return false;
  char* end = nullptr;
  errno = 0;
  const double v = strtod(text, &end);
  if (errno != 0 || *end != '\0' || !(v >= lo && v <= hi)) return false;
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
    {"--model", "classic or physical",
     [](const char* v, Options* o) {
       const std::string m = v;
       return (m == "classic" || m == "physical") && (o->physical = m == "physical", true);
     }},
    // The physical model's own (kFirstPhysical on).
    {"--optics", "rays, airy or mie",
     [](const char* v, Options* o) {
       const std::string m = v;
       if (m == "rays") return o->sky.optics = physical::Method::Rays, true;
       if (m == "airy") return o->sky.optics = physical::Method::Airy, true;
       if (m == "mie") return o->sky.optics = physical::Method::Mie, true;
       return false;
     }},
    {"--wavelength", "nanometres, 380 to 780",
     [](const char* v, Options* o) { return parse_real(v, 380, 780, &o->sky.wavelength_nm); }},
    {"--index", "a number 1.1 to 1.9",
     [](const char* v, Options* o) { return parse_real(v, 1.1, 1.9, &o->sky.index); }},
    {"--temperature", "degrees Celsius, 0 to 99",
     [](const char* v, Options* o) { return parse_real(v, 0, 99, &o->sky.temperature_c); }},
    {"--polarizer", "degrees, -360 to 360",
     [](const char* v, Options* o) {
       return parse_real(v, -360, 360, &o->sky.polarizer_deg) && (o->sky.polarizer = true);
     }},
    {"--sun-disc", "degrees, 0 to 10",
     [](const char* v, Options* o) { return parse_real(v, 0, 10, &o->sky.sun_disc_deg); }},
    {"--sun-elevation", "degrees, 0 to 90",
     [](const char* v, Options* o) { return parse_real(v, 0, 90, &o->sky.sun_elevation_deg); }},
    {"--drop-radius", "micrometres, 1 to 5000",
     [](const char* v, Options* o) { return parse_real(v, 1, 5000, &o->sky.drop_radius_um); }},
    {"--drop-spread", "a number 0 to 1",
     [](const char* v, Options* o) { return parse_real(v, 0, 1, &o->sky.drop_spread); }},
    {"--exposure", "a number above 0, up to 1e12",
     [](const char* v, Options* o) { return parse_real(v, 1e-12, 1e12, &o->exposure); }},
    {"--profile", "a file name",
     [](const char* v, Options* o) { return *v && (o->profile = v, true); }},
    {"--profile-bin", "degrees, 0.001 to 1",
     [](const char* v, Options* o) { return parse_real(v, 0.001, 1, &o->sky.profile_bin_deg); }},
    {"--seed", "a whole number 0 to 18446744073709551615",
     [](const char* v, Options* o) {
       unsigned long long n = 0;
       return parse_number(v, ~0ULL, &n) && (o->sky.seed = n, true);
     }},
};

const size_t kFirstPhysical = 6;  // --optics

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
  const size_t count = sizeof kOptions / sizeof kOptions[0];
  for (size_t k = kFirstPhysical; k < count; ++k)
    if (seen[k] && !o->physical)
      return *problem = std::string(kOptions[k].name) + " needs --model physical", false;
  for (const char* name : {"--drop-radius", "--drop-spread"}) {
    size_t k = 0;
    while (strcmp(kOptions[k].name, name) != 0) ++k;
    if (seen[k] && o->sky.optics == physical::Method::Rays)
      return *problem = std::string(name) + " needs --optics airy or mie", false;
  }
  size_t steps = 0;
  while (strcmp(kOptions[steps].name, "--steps") != 0) ++steps;
  o->steps_given = seen[steps];
  if (o->physical && !o->steps_given) o->steps = 20000000;
  return true;
}

int usable_processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
}
