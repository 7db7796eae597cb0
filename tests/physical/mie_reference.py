#!/usr/bin/env python3
"""Reference Lorenz-Mie intensities for the wave-optics tests, computed in
arbitrary precision by a different route from the library's.

The library sums the series in double precision with the logarithmic
derivative D_n(mx) run downward (Wiscombe 1980).  This script instead forms
the coefficients straight from the Riccati-Bessel functions themselves
(Bohren and Huffman 1983, eq. 4.53 with equal permeabilities):

  a_n = (m psi_n(mx) psi_n'(x) - psi_n(x) psi_n'(mx)) / (m psi_n(mx) xi_n'(x) - xi_n(x) psi_n'(mx))
  b_n = (psi_n(mx) psi_n'(x) - m psi_n(x) psi_n'(mx)) / (psi_n(mx) xi_n'(x) - m xi_n(x) psi_n'(mx))

with psi_n(z) = sqrt(pi z / 2) J_{n+1/2}(z), chi_n(z) = -sqrt(pi z / 2) Y_{n+1/2}(z),
xi_n = psi_n - i chi_n, psi_n' = psi_{n-1} - n psi_n / z.  Up to x = 200 the
Bessel functions come from mpmath's besselj/bessely at half-integer orders;
above, from the upward recurrences psi_{n+1} = (2n+1)/z psi_n - psi_{n-1} run in
enough extra digits to absorb their growth (n stays below |mx| for water, so
psi_n(mx) is in its oscillating range).  S1, S2 by B&H eq. 4.74 with pi_n,
tau_n by their recurrence, all at 40 significant digits, and 15 more terms
than the library takes.

  tests/physical/mie_reference.py > tests/physical/data/mie_reference.txt
  tests/physical/mie_reference.py --check tests/physical/data/mie_reference.txt

Needs python3-mpmath (Debian).  --check recomputes the cases up to x = 1000
(a few seconds; all of them take about a minute) and compares with the file.
"""
import sys

import mpmath as mp

mp.mp.dps = 40

# (x, m, scattering angles in degrees).  Water-like indices from x = 10 to
# thousands, the angles of Wiscombe's test tables plus the bows' region, and
# the worked example of Bohren and Huffman's appendix A (m = 1.55, radius
# 0.525 um, wavelength 0.6328 um).
WISCOMBE_ANGLES = [0, 30, 60, 90, 120, 150, 180]
BOW_ANGLES = [127.5, 129.0, 130.0, 136.0, 137.5, 138.0, 138.5, 140.0, 145.0]
CASES = [
    (2 * mp.pi * mp.mpf("0.525") / mp.mpf("0.6328"), mp.mpc("1.55", 0), [0, 45, 90, 135, 180]),
    (mp.mpf(10), mp.mpc("1.33", "1e-5"), WISCOMBE_ANGLES),
    (mp.mpf(100), mp.mpc("1.33", "1e-5"), WISCOMBE_ANGLES + BOW_ANGLES),
    (mp.mpf(1000), mp.mpc("1.33", "1e-5"), WISCOMBE_ANGLES + BOW_ANGLES),
    (mp.mpf(2417), mp.mpc("1.3314", 0), BOW_ANGLES),
    (mp.mpf(5000), mp.mpc("1.33", "1e-5"), WISCOMBE_ANGLES + BOW_ANGLES),
]


def terms(x):
    return int(float(x) + 4.05 * float(x) ** (1.0 / 3.0) + 2.0) + 15


def riccati_explicit(n_max, z):
    """psi_n(z), chi_n(z) for n = 0..n_max from Bessel functions of half-integer order."""
    s = mp.sqrt(mp.pi * z / 2)
    psi = [s * mp.besselj(n + mp.mpf(1) / 2, z) for n in range(n_max + 1)]
    chi = [-s * mp.bessely(n + mp.mpf(1) / 2, z) for n in range(n_max + 1)]
    return psi, chi


def riccati_upward(n_max, z):
    """psi_n(z), chi_n(z) for n = 0..n_max by the upward recurrence, in extra precision."""
    with mp.workdps(mp.mp.dps + 40):
        z = +z
        psi = [mp.sin(z), mp.sin(z) / z - mp.cos(z)]
        chi = [mp.cos(z), mp.cos(z) / z + mp.sin(z)]
        for n in range(1, n_max):
            psi.append((2 * n + 1) / z * psi[n] - psi[n - 1])
            chi.append((2 * n + 1) / z * chi[n] - chi[n - 1])
    return [+v for v in psi], [+v for v in chi]


def coefficients(x, m):
    n_max = terms(x)
    riccati = riccati_explicit if x <= 200 else riccati_upward
    psi, chi = riccati(n_max, x)
    psim, _ = riccati(n_max, m * x)
    xi = [p - 1j * c for p, c in zip(psi, chi)]
    a, b = [], []
    for n in range(1, n_max + 1):
        dpsi = psi[n - 1] - n * psi[n] / x
        dxi = xi[n - 1] - n * xi[n] / x
        dpsim = psim[n - 1] - n * psim[n] / (m * x)
        a.append((m * psim[n] * dpsi - psi[n] * dpsim) / (m * psim[n] * dxi - xi[n] * dpsim))
        b.append((psim[n] * dpsi - m * psi[n] * dpsim) / (psim[n] * dxi - m * xi[n] * dpsim))
    return a, b


def amplitudes(a, b, theta_deg):
    mu = mp.cos(mp.radians(theta_deg))
    pi_prev, pi_cur = mp.mpf(0), mp.mpf(1)
    s1 = s2 = mp.mpc(0)
    for n in range(1, len(a) + 1):
        tau = n * mu * pi_cur - (n + 1) * pi_prev
        e = mp.mpf(2 * n + 1) / (n * (n + 1))
        s1 += e * (a[n - 1] * pi_cur + b[n - 1] * tau)
        s2 += e * (a[n - 1] * tau + b[n - 1] * pi_cur)
        pi_prev, pi_cur = pi_cur, ((2 * n + 1) * mu * pi_cur - (n + 1) * pi_prev) / n
    return s1, s2


def rows(x_max=None):
    for x, m, angles in CASES:
        if x_max is not None and x > x_max:
            continue
        a, b = coefficients(x, m)
        qext = 2 / x**2 * sum((2 * n + 1) * (a[n - 1] + b[n - 1]).real for n in range(1, len(a) + 1))
        qsca = 2 / x**2 * sum(
            (2 * n + 1) * (abs(a[n - 1]) ** 2 + abs(b[n - 1]) ** 2) for n in range(1, len(a) + 1))
        for t in angles:
            s1, s2 = amplitudes(a, b, mp.mpf(t))
            yield [x, m.real, m.imag, mp.mpf(t), abs(s1) ** 2, abs(s2) ** 2, qext, qsca]


def text(values):
    return " ".join(mp.nstr(v, 17, min_fixed=0, max_fixed=0) for v in values)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--check":
        with open(sys.argv[2]) as f:
            stored = [[mp.mpf(v) for v in line.split()] for line in f if not line.startswith("#")]
        stored = [r for r in stored if r[0] <= 1000]
        fresh = list(rows(1000))
        if len(stored) != len(fresh):
            print(f"mie_reference: {len(stored)} rows stored, {len(fresh)} computed")
            return 1
        for s, f in zip(stored, fresh):
            for sv, fv in zip(s, f):
                if abs(sv - fv) > mp.mpf("1e-12") * abs(fv):
                    print(f"mie_reference: stored {text(s)}\n  computed {text(f)}")
                    return 1
        print(f"mie_reference: {len(fresh)} rows agree")
        return 0
    if len(sys.argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    print("# Lorenz-Mie reference, from tests/physical/mie_reference.py (40-digit mpmath)")
    print("# x m_real m_imag theta_deg |S1|^2 |S2|^2 Qext Qsca")
    for r in rows():
        print(text(r))
    return 0


if __name__ == "__main__":
    sys.exit(main())
