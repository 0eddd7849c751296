#include "variograms/fit.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "variograms/shape.hpp"

namespace zaviktools {

namespace {

// `shape` holds one entry per class (scratch reused across candidate ranges).
NuggetSillFit solve_for_range(VariogramModel model, const ExperimentalVariogram& ev, double range,
                              std::vector<double>& shape) {
    const std::size_t n_classes = ev.size();
    shape.resize(n_classes);
    double N = 0.0, Ss = 0.0, Sss = 0.0, Sy = 0.0, Ssy = 0.0;
    for (std::size_t k = 0; k < n_classes; ++k) {
        const double n = static_cast<double>(ev.counts[k]);
        const double s = unit_shape<ShapeOrder::Fit>(model, ev.lags[k], range);
        const double g = ev.semivariances[k];
        shape[k] = s;
        N += n;
        Ss += s * n;
        Sss += s * (s * n);
        Sy += g * n;
        Ssy += g * (s * n);
    }
    const double det = Sss * N - Ss * Ss;

    struct Pair {
        double c0, c;
    };
    Pair candidates[4];
    int count = 0;
    if (std::fabs(det) > 1e-300) candidates[count++] = {(Sss * Sy - Ss * Ssy) / det, (N * Ssy - Ss * Sy) / det};
    if (Sss > 0.0) candidates[count++] = {0.0, Ssy / Sss};
    if (N > 0.0) candidates[count++] = {Sy / N, 0.0};
    candidates[count++] = {0.0, 0.0};

    bool have = false;
    NuggetSillFit best{0.0, 0.0, std::numeric_limits<double>::infinity()};
    for (int i = 0; i < count; ++i) {
        double c0 = candidates[i].c0, c = candidates[i].c;
        if (c0 < -1e-12 || c < -1e-12) continue;
        c0 = c0 > 0.0 ? c0 : 0.0;  // NaN and -0 become 0
        c = c > 0.0 ? c : 0.0;
        double sse = 0.0;
        for (std::size_t k = 0; k < n_classes; ++k) {
            const double e = shape[k] * c + c0 - ev.semivariances[k];
            sse += static_cast<double>(ev.counts[k]) * e * e;
        }
        // The first kept candidate stands unless a later one is strictly better.
        if (!have || sse < best.sse) {
            best = {c0, c, sse};
            have = true;
        }
    }
    return best;
}

}  // namespace

NuggetSillFit best_c0_c_for_range(VariogramModel model, const ExperimentalVariogram& ev, double range) {
    std::vector<double> shape;
    return solve_for_range(model, ev, range, shape);
}

Result<Variogram> Variogram::fit(VariogramModel model, const ExperimentalVariogram& ev) {
    if (ev.size() == 0) return fail(AlgoError::empty_input("Variogram::fit: empty experimental variogram"));
    double hmax = 0.0;
    for (double h : ev.lags)
        if (h > hmax) hmax = h;

    if (model_row(model).nugget_only) {
        double N = 0.0, Sy = 0.0;
        for (std::size_t k = 0; k < ev.size(); ++k) {
            const double n = static_cast<double>(ev.counts[k]);
            N += n;
            Sy += n * ev.semivariances[k];
        }
        const double nugget = N > 0.0 ? Sy / N : 0.0;
        return Variogram::create(model, nugget, 0.0, std::max(hmax, 1.0));
    }

    std::vector<double> shape;
    struct Best {
        double sse, c0, c, range;
    };
    const double inf = std::numeric_limits<double>::infinity();
    // One candidate range, kept only when strictly better (ties keep the
    // smaller, earlier range).
    auto consider = [&](Best& best, double range) {
        if (range <= 0.0) return;
        const NuggetSillFit f = solve_for_range(model, ev, range, shape);
        if (f.sse < best.sse) best = {f.sse, f.c0, f.c, range};
    };

    // Coarse stage: 400 ranges evenly spaced from hmax/50 to 2*hmax.
    const double lo = hmax / 50.0;
    const double span = (hmax + hmax) - lo;
    Best coarse{inf, 0.0, 0.0, 0.0};
    for (int j = 0; j < 400; ++j) consider(coarse, (static_cast<double>(j) * span) / 399.0 + lo);

    // Fine stage: 100 ranges over one coarse step either side of the best.
    const double step = span / 399.0;
    const double lo2 = std::max(coarse.range - step, hmax / 100.0);
    const double span2 = (step + coarse.range) - lo2;
    Best fine{inf, 0.0, 0.0, 0.0};
    for (int k = 0; k < 100; ++k) consider(fine, (static_cast<double>(k) * span2) / 99.0 + lo2);

    const Best& chosen = coarse.sse > fine.sse ? fine : coarse;
    return Variogram::create(model, chosen.c0, chosen.c, std::max(chosen.range, 1e-9));
}

}  // namespace zaviktools
