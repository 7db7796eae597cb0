// The wave optics tables, over the phase tables of phase_table.h.
#include "wave_optics.h"

#include <math.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "phase_table.h"
#include "sky.h"

namespace physical {

struct WaveOptics::Tables {
  std::vector<double> wavelengths;
  std::vector<PhaseTable> tables;
  std::vector<double> share_perpendicular, power;
};

WaveOptics::WaveOptics() = default;
WaveOptics::~WaveOptics() = default;

bool WaveOptics::build(Method method, double radius_um, double spread, double lo, double hi,
                       const std::vector<double>& wavelengths, const std::vector<double>& indices,
                       int threads, std::string* problem) {
  auto t = std::make_unique<Tables>();
  const size_t count = wavelengths.size();
  t->wavelengths = wavelengths;
  t->tables.resize(count);
  t->share_perpendicular.resize(count);
  t->power.resize(count);
  std::vector<std::string> problems(count);
  std::vector<char> built(count, 0);
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t j; (j = next++) < count;) {
      const PhaseTableRequest request = {method == Method::Airy ? Optics::Airy : Optics::Mie,
                                         radius_um,
                                         spread,
                                         lo,
                                         hi,
                                         wavelengths[j],
                                         indices[j]};
      built[j] = t->tables[j].build(request, &problems[j]);
    }
  };
  std::vector<std::thread> pool;
  const int extra = std::max(0, std::min(threads, static_cast<int>(count)) - 1);
  for (int k = 0; k < extra; ++k) pool.emplace_back(work);
  work();
  for (std::thread& th : pool) th.join();
  for (size_t j = 0; j < count; ++j) {
    if (!built[j]) {
      *problem = "cannot tabulate the phase function at " +
                 std::to_string(static_cast<int>(wavelengths[j])) + " nm: " + problems[j];
      return false;
    }
    const double perpendicular = t->tables[j].weight(0), parallel = t->tables[j].weight(1);
    t->power[j] = perpendicular + parallel;
    t->share_perpendicular[j] = t->power[j] > 0 ? perpendicular / t->power[j] : 0.5;
  }
  tables_ = std::move(t);
  return true;
}

void WaveOptics::draw(double wavelength_nm, double u_polarisation, double u_angle,
                      int* polarisation, double* angle, double* power) const {
  const std::vector<double>& w = tables_->wavelengths;
  size_t j = 0;
  if (w.size() > 1) {
    const double step = (w.back() - w.front()) / static_cast<double>(w.size() - 1);
    const double f = (wavelength_nm - w.front()) / step + 0.5;
    j = static_cast<size_t>(std::clamp(f, 0.0, static_cast<double>(w.size() - 1)));
  }
  *polarisation = u_polarisation < tables_->share_perpendicular[j] ? 0 : 1;
  *angle = tables_->tables[j].draw(*polarisation, u_angle);
  *power = tables_->power[j];
}

}  // namespace physical
