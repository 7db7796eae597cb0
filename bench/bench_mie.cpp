// The time to tabulate the physical model's phase functions: Mie tables for
// 0.5 mm drops over scattering angles 120-180 degrees (a 60-degree sky
// around the antisolar point) at every wavelength a picture uses, built on
// every thread, the way a render builds them once per run.  Also Airy's
// tables and a spread of radii.  Prints wall time and the CPU time summed
// over threads (the machine may be shared: CPU time is the steadier figure).
//
//   rainbow_bench_mie [threads [case]]   (default: the machine's cores, every
//                                         case; else those whose name holds `case`)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "phase_table.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Water's index for the timing only (a Cauchy fit near 20 C, 1.343 at 400 nm,
// 1.331 at 700 nm); the render takes it from the IAPWS formulation.
double water_index(double wavelength_nm) {
  const double um = wavelength_nm / 1000;
  return 1.3239 + 0.003046 / (um * um);
}

double cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Result {
  double wall, cpu;
  size_t angles, bytes;
};

// Tables for wavelengths 380..780 nm every step_nm, shared out over threads
// by a counter, shortest wavelength (the most work) first.
Result build_all(physical::Optics optics, double radius_um, double spread, double step_nm,
                 int threads) {
  std::vector<double> wavelengths;
  for (double w = 380; w <= 780 + 1e-9; w += step_nm) wavelengths.push_back(w);
  std::vector<physical::PhaseTable> tables(wavelengths.size());
  std::atomic<size_t> next{0};
  const double cpu0 = cpu_seconds();
  const auto wall0 = std::chrono::steady_clock::now();
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&] {
      for (size_t i; (i = next.fetch_add(1)) < wavelengths.size();) {
        std::string problem;
        if (!tables[i].build({optics, radius_um, spread, 120 * kPi / 180, kPi, wavelengths[i],
                              water_index(wavelengths[i])},
                             &problem)) {
          fprintf(stderr, "bench_mie: PhaseTable::build: %s\n", problem.c_str());
          exit(1);
        }
      }
    });
  for (auto& t : pool) t.join();
  Result r;
  r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  r.cpu = cpu_seconds() - cpu0;
  r.angles = 0;
  for (const auto& t : tables) r.angles += static_cast<size_t>(t.size());
  r.bytes = r.angles * 4 * sizeof(double);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int threads =
      argc > 1 ? atoi(argv[1]) : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  if (threads < 1 || threads > 64) {
    fprintf(stderr, "usage: rainbow_bench_mie [threads 1-64 [case]]\n");
    return 2;
  }
  printf("phase tables, scattering angles 120-180 deg, 380-780 nm, %d threads\n", threads);
  printf("%-34s %6s %8s %8s %10s %8s\n", "case", "tables", "wall s", "cpu s", "angles", "MB");
  const struct {
    const char* name;
    physical::Optics optics;
    double radius_um, spread, step_nm;
  } kCases[] = {
      {"Mie 0.5 mm, every 10 nm", physical::Optics::Mie, 500, 0, 10},
      {"Mie 0.5 mm, every 5 nm", physical::Optics::Mie, 500, 0, 5},
      {"Mie 0.1 mm, every 5 nm", physical::Optics::Mie, 100, 0, 5},
      {"Mie 10 um spread 0.1, every 5 nm", physical::Optics::Mie, 10, 0.1, 5},
      {"Mie 0.5 mm spread 0.01, every 20 nm", physical::Optics::Mie, 500, 0.01, 20},
      {"Airy 0.5 mm, every 5 nm", physical::Optics::Airy, 500, 0, 5},
      {"Airy 0.5 mm spread 0.1, every 5 nm", physical::Optics::Airy, 500, 0.1, 5},
  };
  for (const auto& c : kCases) {
    if (argc > 2 && !strstr(c.name, argv[2])) continue;
    const Result r = build_all(c.optics, c.radius_um, c.spread, c.step_nm, threads);
    printf("%-34s %6d %8.2f %8.2f %10zu %8.1f\n", c.name, static_cast<int>(400 / c.step_nm) + 1,
           r.wall, r.cpu, r.angles, static_cast<double>(r.bytes) / 1e6);
    fflush(stdout);
  }
  return 0;
}
