// The AR(1) driver of every one-dimensional synthetic generator: a series of
// standard-normal values whose lag-one correlation at sample i is the
// coefficient of sample i, one normal draw per sample in sample order.
#pragma once

#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

#include "foundation/interrupt.hpp"
#include "sampling/normal.hpp"
#include "sampling/rng.hpp"

namespace zaviktools {

// A coefficient of 1 would freeze the series; the largest one used is this.
inline constexpr double kMaxArCoefficient = 0.999999999;

// Clamped into [0, kMaxArCoefficient]; NaN behaves as 0 (independent draws).
inline double clamp_ar_coefficient(double r) {
    if (!(r > 0.0)) return 0.0;
    return r > kMaxArCoefficient ? kMaxArCoefficient : r;
}

// Fills `out` with z[0] = e0 and z[i] = r·z[i−1] + sqrt(1 − r²)·e_i, where
// r = clamp(coefficient(i)) is asked for i = 1 … n−1 in increasing order.
// Exactly out.size() draws; an empty span takes none. A sample takes tens of
// nanoseconds: the installed StopPoll is asked between runs of 4096, and
// false returned when it stopped the series.
template <class Coefficient>
bool correlated_gaussian(std::span<double> out, Coefficient&& coefficient, Rng& rng) {
    if (out.empty()) return true;
    double prev = standard_normal(rng);
    out[0] = prev;
    StopCheck stop;
    return run_chunked(stop, out.size() - 1, 4096, [&](std::size_t k) {
        const std::size_t i = k + 1;
        const double r = clamp_ar_coefficient(coefficient(i));
        const double e = standard_normal(rng);
        prev = r * prev + std::sqrt(1.0 - r * r) * e;
        out[i] = prev;
        return true;
    });
}

// Runs step(i) for i = 0 .. n-1, asking the installed StopPoll between runs
// of 4096 (for the generators' per-sample passes); false when stopped.
template <class Step>
bool for_each_sample(std::size_t n, Step&& step) {
    StopCheck stop;
    return run_chunked(stop, n, 4096, [&](std::size_t i) {
        step(i);
        return true;
    });
}

template <class Coefficient>
std::vector<double> correlated_gaussian(std::size_t n, Coefficient&& coefficient, Rng& rng) {
    std::vector<double> z(n);
    correlated_gaussian(std::span<double>(z), coefficient, rng);  // partial only when stopped
    return z;
}

// The constant coefficient exp(−step / length) of a series sampled every
// `step` metres with correlation length `length`.
inline double ar_coefficient(double step, double length) { return std::exp(-step / length); }

}  // namespace zaviktools
