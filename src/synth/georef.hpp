// Georef: a world-frame origin (UTM-style easting/northing) for placing a
// synthetic asset built in a tidy local frame (origin (0, 0)) into the world.
// The georeference proper is the Lattice; Georef builds world-placed lattices
// whose node (0, 0) sits on the origin and translates local points.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/lattice.hpp"

namespace zaviktools {

class Georef {
public:
    // The documented fictional origin.
    static constexpr double kDefaultEast0 = 431000.0;
    static constexpr double kDefaultNorth0 = 6521000.0;

    // Origin (431000, 6521000).
    Georef() = default;

    // Fails with InvalidArgument "Georef: east0 and north0 must be finite".
    static Result<Georef> create(double east0, double north0);

    double east0() const { return east0_; }
    double north0() const { return north0_; }

    // A lattice with node (0, 0) on the origin; spacings and counts pass
    // through unchanged, the rotation is normalised as Lattice::create does
    // (and fails the same way when not finite).
    Result<Lattice> lattice(double xinc, double yinc, std::size_t ncol, std::size_t nrow, double rotation_deg,
                            bool yflip) const;

    // Pure translation by (east0, north0).
    Xy place_point(Xy local) const { return {local.x + east0_, local.y + north0_}; }
    std::vector<Xy> place_points(std::span<const Xy> locals) const;

    // The local point rotated counter-clockwise by the normalised rotation about
    // the origin, its second coordinate mirrored first when yflip:
    //   x = east0 + ix·cos θ − iy·sin θ,  y = north0 + ix·sin θ + iy·cos θ
    //   (yflip: x = east0 + ix·cos θ + iy·sin θ,  y = north0 + ix·sin θ − iy·cos θ).
    // Fails with InvalidArgument "Lattice: rotation_deg must be finite".
    Result<Xy> place_intrinsic(Xy intrinsic, double rotation_deg, bool yflip) const;

private:
    Georef(double east0, double north0) : east0_(east0), north0_(north0) {}
    double east0_ = kDefaultEast0;
    double north0_ = kDefaultNorth0;
};

// "Georef(east0=431000, north0=6521000)"
std::string georef_repr(const Georef& georef);

}  // namespace zaviktools
