// NormalScore: the rank transform between data values and standard-normal
// scores, a table of (value, score) pairs read by piecewise-linear
// interpolation with flat tails.
//
//     auto ns = zaviktools::NormalScore::fit(z);      // Result<NormalScore>
//     double s = ns->forward(z[0]);                    // interp(values, scores, x)
//     double v = ns->back(s);                          // == z[0], exactly
//
// The fit sorts a copy of the data (stable), gives rank i of n the midpoint
// plotting position score phi_inv((i + 0.5) / n) and lets each run of equal
// values share the mean of its rank scores, summed in rank order (a table of
// one entry, from one datum or all-equal data, has the score 0). Back
// transforms therefore stay within [min(data), max(data)].
#pragma once

#include <span>
#include <vector>

#include "foundation/error.hpp"

namespace zaviktools {

// The shared piecewise-linear lookup over an increasing table `xs` with
// values `ys` (same length K >= 1): ys[0] for K = 1 or x <= xs[0], ys[K-1] for
// x >= xs[K-1], otherwise with xs[k] <= x < xs[k+1] (bisection)
//     (ys[k+1] - ys[k]) * ((x - xs[k]) / (xs[k+1] - xs[k])) + ys[k],
// which is exactly ys[k] at a table point. NaN for a NaN x (K >= 2) and for
// an empty table.
double interp(std::span<const double> xs, std::span<const double> ys, double x);

struct NormalScore {
    std::vector<double> values;  // distinct data values, strictly increasing
    std::vector<double> scores;  // their scores, strictly increasing

    // Errors: EmptyInput "NormalScore::fit: no data"; InvalidArgument
    // "NormalScore::fit: data must be finite" (NaN has no rank, and an
    // infinite table entry would turn back transforms into NaN);
    // OutOfMemory "NormalScore::fit: cannot allocate {n} values".
    static Result<NormalScore> fit(std::span<const double> data);

    // Data value to score: interp(values, scores, x).
    double forward(double x) const { return interp(values, scores, x); }
    // Score to data value: interp(scores, values, y).
    double back(double y) const { return interp(scores, values, y); }
};

}  // namespace zaviktools
