// Lorenz-Mie series (Bohren and Huffman 1983, chapter 4 and appendix A;
// Wiscombe 1980 for the number of terms and the downward recurrence).
#include "mie.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace physical {

namespace {

// The series' coefficients with the angular weight (2n+1)/(n(n+1)) of
// Bohren and Huffman eq. 4.74 folded in, split into real and imaginary parts
// so the sums over angles run on plain doubles (and vectorise).
struct Series {
  std::vector<double> ar, ai, br, bi;  // index n-1: E_n a_n, E_n b_n
  double qext = 0, qsca = 0;
};

Series mie_series(double x, std::complex<double> m) {
  const int n_stop = mie_terms(x);
  const std::complex<double> mx = m * x;
  // Start the downward recurrence far enough above both N and |mx| that the
  // starting value 0 is forgotten by then.  D_n's error decays only past the
  // turning point n = |mx|, like Ai/Bi there: exp(-(4/3) t^(3/2)) with
  // t = (n - |mx|) / (|mx|/2)^(1/3) (the Airy region of the Bessel functions),
  // below 1e-16 for t > 9.1, so 8 |mx|^(1/3) terms past it.  BHMIE's fixed 15
  // leaves errors near 1e-5 at x = 100.
  const double z_abs = std::abs(mx);
  const int n_start =
      static_cast<int>(std::max(static_cast<double>(n_stop), z_abs) + 8 * std::cbrt(z_abs)) + 16;

  // D_n(mx) = psi_n'(mx) / psi_n(mx), B&H eq. 4.89 run downward:
  // D_{n-1} = n/z - 1 / (D_n + n/z).  Stable for any m (Wiscombe 1980, sec. 3).
  std::vector<std::complex<double>> d(static_cast<size_t>(n_start) + 1);
  d[static_cast<size_t>(n_start)] = 0.0;
  for (int n = n_start; n >= 1; --n) {
    const std::complex<double> n_over_z = static_cast<double>(n) / mx;
    d[static_cast<size_t>(n - 1)] = n_over_z - 1.0 / (d[static_cast<size_t>(n)] + n_over_z);
  }

  Series s;
  const auto terms = static_cast<size_t>(n_stop);
  s.ar.resize(terms);
  s.ai.resize(terms);
  s.br.resize(terms);
  s.bi.resize(terms);

  // Riccati-Bessel functions psi_n(x) = x j_n(x) and chi_n(x) = -x y_n(x)
  // upward (B&H eq. 4.89 and BHMIE): psi_{-1} = cos x, psi_0 = sin x,
  // chi_{-1} = -sin x, chi_0 = cos x; xi_n = psi_n - i chi_n.
  double psi0 = std::cos(x), psi1 = std::sin(x);
  double chi0 = -std::sin(x), chi1 = std::cos(x);
  std::complex<double> xi1(psi1, -chi1);
  double sum_ext = 0, sum_sca = 0;
  for (int n = 1; n <= n_stop; ++n) {
    const double dn = n;
    const double psi = (2 * dn - 1) * psi1 / x - psi0;
    const double chi = (2 * dn - 1) * chi1 / x - chi0;
    const std::complex<double> xi(psi, -chi);
    const std::complex<double> dm = d[static_cast<size_t>(n)];
    // B&H eq. 4.88 with the logarithmic derivative.
    const std::complex<double> ta = dm / m + dn / x;
    const std::complex<double> tb = dm * m + dn / x;
    const std::complex<double> a = (ta * psi - psi1) / (ta * xi - xi1);
    const std::complex<double> b = (tb * psi - psi1) / (tb * xi - xi1);
    sum_ext += (2 * dn + 1) * (a.real() + b.real());
    sum_sca += (2 * dn + 1) * (std::norm(a) + std::norm(b));
    const double e = (2 * dn + 1) / (dn * (dn + 1));
    const auto i = static_cast<size_t>(n - 1);
    s.ar[i] = e * a.real();
    s.ai[i] = e * a.imag();
    s.br[i] = e * b.real();
    s.bi[i] = e * b.imag();
    psi0 = psi1;
    psi1 = psi;
    chi0 = chi1;
    chi1 = chi;
    xi1 = std::complex<double>(psi1, -chi1);
  }
  s.qext = 2 / (x * x) * sum_ext;
  s.qsca = 2 / (x * x) * sum_sca;
  return s;
}

// Angles summed together: the running pi_n, pi_{n-1} and the four partial
// sums of a block stay in the first-level cache while the coefficients
// stream past once per block.
constexpr int kBlock = 64;

// S1 = sum E_n (a_n pi_n + b_n tau_n), S2 = sum E_n (a_n tau_n + b_n pi_n)
// (B&H eq. 4.74), with pi_n, tau_n from B&H eq. 4.47 upward:
// pi_{n+1} = ((2n+1)/n) mu pi_n - ((n+1)/n) pi_{n-1}, tau_n = n mu pi_n - (n+1) pi_{n-1},
// pi_0 = 0, pi_1 = 1.  Summed as S1 + S2 = sum E_n (a_n + b_n)(pi_n + tau_n) and
// S1 - S2 = sum E_n (a_n - b_n)(pi_n - tau_n), which takes half the
// multiplications.  Each angle's sum is the same sequence of operations
// whatever the block it falls in, so results do not depend on the split.
template <typename Sink>
void angular_sums(const Series& s, const double* theta, int count, Sink sink) {
  const size_t terms = s.ar.size();
  // Coefficients of the sum and difference, once for all blocks.
  std::vector<double> cr(terms), ci(terms), dr(terms), di(terms);
  for (size_t i = 0; i < terms; ++i) {
    cr[i] = s.ar[i] + s.br[i];
    ci[i] = s.ai[i] + s.bi[i];
    dr[i] = s.ar[i] - s.br[i];
    di[i] = s.ai[i] - s.bi[i];
  }
  for (int start = 0; start < count; start += kBlock) {
    const int len = std::min(kBlock, count - start);
    double mu[kBlock], pi_prev[kBlock], pi_cur[kBlock];
    double spr[kBlock], spi[kBlock], smr[kBlock], smi[kBlock];
    for (int j = 0; j < kBlock; ++j) {
      mu[j] = j < len ? std::cos(theta[start + j]) : 0.0;
      pi_prev[j] = 0;
      pi_cur[j] = 1;
      spr[j] = spi[j] = smr[j] = smi[j] = 0;
    }
    for (size_t i = 0; i < terms; ++i) {
      const double dn = static_cast<double>(i + 1);
      const double c_re = cr[i], c_im = ci[i], d_re = dr[i], d_im = di[i];
      const double f_next = (2 * dn + 1) / dn, g_next = (dn + 1) / dn;
      for (int j = 0; j < kBlock; ++j) {
        const double p = pi_cur[j];
        const double mp = mu[j] * p;
        const double t = dn * mp - (dn + 1) * pi_prev[j];
        const double u = p + t, v = p - t;
        spr[j] += c_re * u;
        spi[j] += c_im * u;
        smr[j] += d_re * v;
        smi[j] += d_im * v;
        pi_cur[j] = f_next * mp - g_next * pi_prev[j];
        pi_prev[j] = p;
      }
    }
    for (int j = 0; j < len; ++j)
      sink(start + j, 0.5 * std::complex<double>(spr[j] + smr[j], spi[j] + smi[j]),
           0.5 * std::complex<double>(spr[j] - smr[j], spi[j] - smi[j]));
  }
}

bool finite_angles(const double* theta, int count) {
  for (int i = 0; i < count; ++i)
    if (!std::isfinite(theta[i])) return false;
  return true;
}

constexpr MieEfficiencies kRefused = {std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::quiet_NaN()};

}  // namespace

// Wiscombe's N = x + 4.05 x^(1/3) + 2, and eight terms more: near
// backscattering pi_n and tau_n grow like n^2, and the terms Wiscombe's N
// leaves out still move |S|^2 there by 2e-6 at x = 1000; with eight more the
// change is below 1e-8 (measured against the series to N + 15).
int mie_terms(double x) {
  return static_cast<int>(x + 4.05 * std::cbrt(x) + 2.0) + 8;
}

const char* mie_problem(double x, std::complex<double> m, int count) {
  if (!(x > 0) || !(x <= kMieMaxSizeParameter)) return "size parameter not in (0, 200000]";
  if (!std::isfinite(m.real()) || !std::isfinite(m.imag())) return "refractive index not finite";
  if (!(m.real() > 0)) return "real part of the refractive index not positive";
  if (m.imag() < 0) return "imaginary part of the refractive index negative";
  if (count < 0) return "negative number of angles";
  return nullptr;
}

MieEfficiencies mie_amplitudes(double x, std::complex<double> m, const double* theta_rad, int count,
                               std::complex<double>* s1, std::complex<double>* s2) {
  if (mie_problem(x, m, count) || !finite_angles(theta_rad, count)) {
    std::fill(s1, s1 + std::max(count, 0), 0.0);
    std::fill(s2, s2 + std::max(count, 0), 0.0);
    return kRefused;
  }
  const Series s = mie_series(x, m);
  angular_sums(s, theta_rad, count, [&](int i, std::complex<double> a1, std::complex<double> a2) {
    s1[i] = a1;
    s2[i] = a2;
  });
  return {s.qext, s.qsca};
}

MieEfficiencies mie_intensities(double x, std::complex<double> m, const double* theta_rad,
                                int count, double* perp, double* par) {
  if (mie_problem(x, m, count) || !finite_angles(theta_rad, count)) {
    std::fill(perp, perp + std::max(count, 0), 0.0);
    std::fill(par, par + std::max(count, 0), 0.0);
    return kRefused;
  }
  const Series s = mie_series(x, m);
  angular_sums(s, theta_rad, count, [&](int i, std::complex<double> a1, std::complex<double> a2) {
    perp[i] = std::norm(a1);
    par[i] = std::norm(a2);
  });
  return {s.qext, s.qsca};
}

}  // namespace physical
