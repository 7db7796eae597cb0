// Geometric optics of one ray through a spherical drop, both polarisations.
#ifndef RAINBOW_PHYSICAL_RAYS_H
#define RAINBOW_PHYSICAL_RAYS_H

namespace physical {

// The light a ray striking the drop at impact parameter b (0 <= b < 1, in
// drop radii) sends out, for unit incident power split evenly between the
// two polarisations: by reflection off the outside (order 0), and after one
// (the primary bow) and two (the secondary) reflections inside.  Each
// order's signed angle from the antisolar point lies in the plane of the
// ray and the drop's centre, so the components perpendicular and parallel
// to that plane keep their own Fresnel coefficients all the way through.
struct Outgoing {
  double angle[3];  // radians from the antisolar point, signed within the plane
  double perpendicular[3], parallel[3];
};
void trace_drop(double b, double n, Outgoing* out);

}  // namespace physical

#endif  // RAINBOW_PHYSICAL_RAYS_H
