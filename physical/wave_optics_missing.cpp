// This build has no wave optics: --optics airy and mie say so.
#include "wave_optics.h"

namespace physical {

struct WaveOptics::Tables {};

WaveOptics::WaveOptics() = default;
WaveOptics::~WaveOptics() = default;

bool WaveOptics::build(Method, double, double, double, double, const std::vector<double>&,
                       const std::vector<double>&, int, std::string* problem) {
  *problem = "--optics airy and mie are not built into this program";
  return false;
}

void WaveOptics::draw(double, double, double, int* polarisation, double* angle,
                      double* power) const {
  *polarisation = 0;
  *angle = 0;
  *power = 0;
}

}  // namespace physical
