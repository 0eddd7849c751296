// Formation tops picked from a gridded surface at well positions, with one
// seeded residual draw per well.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "foundation/field.hpp"
#include "foundation/lattice.hpp"
#include "sampling/distributions.hpp"

namespace zaviktools {

// Bilinear value of `surface` (shaped like `lattice`) at world point (x, y):
// NaN where the lattice cannot place the point (zero spacing, non-finite
// input), outside [0, ncol − 1] × [0, nrow − 1] (the last column and row are
// inside), on a lattice without columns or rows, in a cell touching a NaN
// node, or when the surface is not shaped like the lattice.
double sample_surface(const Field& surface, const Lattice& lattice, double x, double y);

// One top per well: sample_surface + one draw of `residual`. Well k always
// receives the k-th draw of the stream seeded with `seed`, also where the
// surface is undefined (the top is then NaN). Fails only with Interrupted
// "tops_from_surface", when the installed StopPoll asks to stop.
Result<std::vector<double>> tops_from_surface(const Field& surface, const Lattice& lattice, std::span<const Xy> wells,
                                      const Sampler& residual, std::uint64_t seed);

}  // namespace zaviktools
