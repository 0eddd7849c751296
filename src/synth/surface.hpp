// Synthetic map surfaces on a Lattice: an isochore (thickness map), a
// depositional trend map in [0, 1] and a dome structure (four-way closure with
// tilt and correlated noise). The correlated part of each is one unconditional
// sequential Gaussian simulation with 24 neighbours (surface_field below); each
// generator then applies its own per-node formula.
//
//     auto noise = zaviktools::NoiseSpec::create(4.0, variogram);
//     auto depth = zaviktools::synth_dome_surface(lattice, 50.0, 1.5, 10.0, *noise, seed);
#pragma once

#include <cstdint>

#include "foundation/error.hpp"
#include "foundation/field.hpp"
#include "foundation/lattice.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

// The correlated-noise recipe of the dome: a variance (not a standard
// deviation) and its continuity.
struct NoiseSpec {
    double variance = 0.0;
    Variogram variogram;

    // InvalidArgument "NoiseSpec: variance must be finite and >= 0" (-0 is accepted).
    static Result<NoiseSpec> create(double variance, const Variogram& variogram);
};

// Neighbours per node of every surface simulation.
inline constexpr std::size_t kSurfaceNeighbours = 24;

// Search radius of a surface simulation:
// max(1.5 · range, 4 · max(|xinc|, |yinc|, smallest normal double)), a NaN
// spacing being ignored.
double surface_radius(const Lattice& lattice, const Variogram& variogram);

// sgs_unconditional(lattice, variogram, 24, surface_radius, seed, mean,
// variance), whose errors pass through unchanged.
Result<Field> surface_field(const Lattice& lattice, const Variogram& variogram, std::uint64_t seed, double mean,
                            double variance);

// A correlated thickness field about mean_thickness with standard deviation
// `variability`, every node max(value, 0) (NaN and -0 become +0). Errors, in order:
//   InvalidArgument "synth_isochore: mean_thickness must be finite"
//   InvalidArgument "synth_isochore: variability must be finite and >= 0"
//   then those of the simulation.
Result<Field> synth_isochore(const Lattice& lattice, double mean_thickness, double variability,
                             const Variogram& variogram, std::uint64_t seed);

// The field a trend map is built to correlate with, at about `rho`.
struct TrendCorrelation {
    const Field* field;
    double rho;
};

// Φ(g) of a standard Gaussian simulation g (uniform marginal), or with a
// correlation Φ(s·g + rho·n), s = sqrt(max(1 − rho², 0)), n the normal score of
// the field's value (0 where it is not finite). Errors, in order: those of the
// simulation, then
//   InvalidArgument "synth_trend_map: rho must be in [-1, 1]"
//   InvalidArgument "synth_trend_map: correlate_with field shape must match the lattice"
//   EmptyInput "NormalScore::fit: no data"     (no finite value in the field)
Result<Field> synth_trend_map(const Lattice& lattice, const Variogram& variogram, std::uint64_t seed,
                              const TrendCorrelation* correlate_with);

// relief · exp(−½(dx² + dy²)) + tilt · ((x − xmin)/wx − ½) + noise at every
// node's world position: a Gaussian bump at the centre of the bounding box of
// the four corner nodes, semi-axes ¼·wx·√aspect and ¼·wy/√aspect along the
// world axes, a plane rising along world x, and noise simulated only when its
// variance is > 0. Errors, in order:
//   InvalidArgument "synth_dome_surface: relief and tilt must be finite"
//   InvalidArgument "synth_dome_surface: aspect must be finite and > 0"
//   InvalidArgument "synth_dome_surface: lattice geometry must be finite"   a corner node is not
//   then those of the noise simulation.
// A lattice without nodes gives an empty field.
Result<Field> synth_dome_surface(const Lattice& lattice, double relief, double aspect, double tilt,
                                 const NoiseSpec& noise, std::uint64_t seed);

}  // namespace zaviktools
