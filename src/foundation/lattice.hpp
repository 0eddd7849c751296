// Lattice: the regular, optionally rotated and flipped 2-D grid geometry that
// every gridded operation works on.
//
// Node (i, j) lies at origin + i·xinc·Î + j·yinc·Ĵ, where Î = (cos θ, sin θ) is
// the I axis turned θ = rotation_deg counter-clockwise from east, and
// Ĵ = (−sin θ, cos θ), or (sin θ, −cos θ) when yflip is set.
//
// A Lattice is an immutable value made only through Lattice::create, which
// normalises the rotation into [0, 360]. Spacings and counts are stored as
// given (zero and negative spacings, zero counts are accepted); operations that
// need a non-zero spacing check it themselves (xy_to_ij returns nothing).
//
//     auto lat = zaviktools::Lattice::create(ncol, nrow, false, x0, y0, 25.0, 25.0, 30.0);
//     if (!lat) return fail(lat.error());
//     Xy p = lat->node_xy(i, j);
//     if (auto ij = lat->xy_to_ij(p.x, p.y)) use(ij->fi, ij->fj);
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "foundation/error.hpp"

namespace zaviktools {

// A world point.
struct Xy {
    double x;
    double y;
};

// A fractional intrinsic position: fi along I (columns), fj along J (rows).
struct Ij {
    double fi;
    double fj;
};

// World-coordinate steps of one node along +I and +J.
struct StepVectors {
    Xy i;
    Xy j;
};

// Degrees to radians, the one factor used for every angle conversion.
inline constexpr double kDegToRad = 0.017453292519943295;

class Lattice {
public:
    // Fails with InvalidArgument "Lattice: rotation_deg must be finite" when the
    // rotation is NaN or infinite. The rotation is stored as
    // r = fmod(rotation_deg, 360), plus 360 when r < 0 (so -90 -> 270,
    // 720 -> 0, -360 -> -0.0, -1e-20 -> 360).
    static Result<Lattice> create(std::size_t ncol, std::size_t nrow, bool yflip, double xori, double yori,
                                  double xinc, double yinc, double rotation_deg);

    double xori() const { return xori_; }
    double yori() const { return yori_; }
    double xinc() const { return xinc_; }
    double yinc() const { return yinc_; }
    std::size_t ncol() const { return ncol_; }
    std::size_t nrow() const { return nrow_; }
    double rotation_deg() const { return rotation_deg_; }
    bool yflip() const { return yflip_; }

    // World position of integer node (i, j); no bounds check (beyond the
    // counts it extrapolates). Same as intrinsic_to_world(double(i), double(j)).
    Xy node_xy(std::size_t i, std::size_t j) const {
        return intrinsic_to_world(static_cast<double>(i), static_cast<double>(j));
    }

    // Fractional intrinsic to world, evaluated exactly as
    //   x = (fi·(c·xinc) + xori) + (s·(−yinc))·fj,  y = (fi·(s·xinc) + yori) + (c·yinc)·fj
    // and with yflip
    //   x = (fi·(c·xinc) + xori) + (s·yinc)·fj,     y = (fi·(s·xinc) + yori) + (c·(−yinc))·fj.
    Xy intrinsic_to_world(double fi, double fj) const;

    // World to fractional intrinsic (no rounding, no bounds check). Nothing
    // when a spacing is zero, when any geometry value or coordinate is not
    // finite, or when the result is not finite.
    std::optional<Ij> xy_to_ij(double x, double y) const;
    std::optional<Ij> world_to_intrinsic(double x, double y) const { return xy_to_ij(x, y); }

    // I = (xinc·c, xinc·s); J = (−yinc·s, yinc·c), or (yinc·s, −yinc·c) with yflip.
    StepVectors step_vectors() const;

    // sin θ and cos θ of the stored rotation (the platform's sin and cos of
    // rotation_deg · π/180), computed once at construction.
    double sin_rot() const { return sin_; }
    double cos_rot() const { return cos_; }

private:
    Lattice() = default;
    double xori_ = 0.0;
    double yori_ = 0.0;
    double xinc_ = 0.0;
    double yinc_ = 0.0;
    std::size_t ncol_ = 0;
    std::size_t nrow_ = 0;
    double rotation_deg_ = 0.0;
    bool yflip_ = false;
    double sin_ = 0.0;
    double cos_ = 1.0;
};

// "Lattice(xori=0, yori=0, xinc=25, yinc=25, ncol=4, nrow=3)", with
// ", rotation_deg=270, yflip=false)" in place of the final ")" when the
// lattice is rotated or flipped.
std::string lattice_repr(const Lattice& lattice);

// The rotation normalisation of Lattice::create: fmod(deg, 360), plus 360 when
// negative. `deg` must be finite.
double normalise_rotation_deg(double deg);

}  // namespace zaviktools
