#include "linalg/condition.hpp"

#include <cmath>

#include "linalg/lu_solve.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zaviktools {

namespace {

// s + |a[0]|*b[0] + ... + |a[n-1]|*b[n-1], adding in that order: the
// products two lanes at a time (each correctly rounded), the sums one after
// another, so the bits are the plain loop's.
inline double plus_abs_products(double s, const double* a, const double* b, std::size_t n) {
    std::size_t k = 0;
#if defined(__SSE2__)
    const __m128d sign = _mm_set1_pd(-0.0);
    for (; k + 2 <= n; k += 2) {
        const __m128d p = _mm_mul_pd(_mm_andnot_pd(sign, _mm_loadu_pd(a + k)), _mm_loadu_pd(b + k));
        s = s + _mm_cvtsd_f64(p);
        s = s + _mm_cvtsd_f64(_mm_unpackhi_pd(p, p));
    }
#endif
    for (; k < n; ++k) s = s + std::fabs(a[k]) * b[k];
    return s;
}

double norm1(const std::vector<double>& v) {
    double s = 0.0;
    for (double e : v) s = s + std::fabs(e);
    return s;
}

// The first index of the largest |v_i|.
std::size_t argmax_abs(const std::vector<double>& v) {
    std::size_t j = 0;
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (std::fabs(v[i]) > std::fabs(v[j])) j = i;
    }
    return j;
}

double sign(double v) { return v >= 0.0 ? 1.0 : -1.0; }

}  // namespace

double matrix_norm1(std::span<const double> a, std::size_t n) {
    double best = 0.0;
    for (std::size_t c = 0; c < n; ++c) {
        double s = 0.0;
        for (std::size_t r = 0; r < n; ++r) s = s + std::fabs(a[r * n + c]);
        if (!(s <= best)) best = s;  // a NaN column sum is kept
    }
    return best;
}

double inverse_norm_inf_bound(std::span<const double> lu, std::size_t n, std::vector<double>& work) {
    work.resize(n);
    double* y = work.data();
    const double* m = lu.data();
    for (std::size_t i = 0; i < n; ++i) y[i] = plus_abs_products(1.0, m + i * n, y, i);  // M(L) y = e, L unit lower
    double best = 0.0;
    for (std::size_t i = n; i-- > 0;) {  // M(U) z = y, in place
        y[i] = plus_abs_products(y[i], m + i * n + i + 1, y + i + 1, n - i - 1) / std::fabs(m[i * n + i]);
        if (!(y[i] <= best)) best = y[i];
    }
    return best;
}

double symmetric_inverse_norm1_estimate(std::span<const double> lu, const std::vector<std::size_t>& perm,
                                        std::size_t n, ConditionScratch& s) {
    if (n == 0) return 0.0;
    std::vector<double>& in = s.in;
    std::vector<double>& out = s.out;
    std::vector<double>& signs = s.signs;
    in.assign(n, 1.0 / static_cast<double>(n));
    lu_solve_into(lu, perm, n, in, out);
    double est = norm1(out);
    if (n == 1 || std::isnan(est)) return est;
    signs.resize(n);
    for (std::size_t i = 0; i < n; ++i) signs[i] = sign(out[i]);
    lu_solve_into(lu, perm, n, signs, out);
    std::size_t j = argmax_abs(out);
    for (int step = 2; step <= 5; ++step) {
        in.assign(n, 0.0);
        in[j] = 1.0;
        lu_solve_into(lu, perm, n, in, out);
        const double current = norm1(out);
        if (!(current > est)) break;  // no progress: cycling
        est = current;
        bool repeated = true;
        for (std::size_t i = 0; i < n; ++i) repeated = repeated && sign(out[i]) == signs[i];
        if (repeated) break;  // converged
        for (std::size_t i = 0; i < n; ++i) signs[i] = sign(out[i]);
        lu_solve_into(lu, perm, n, signs, out);
        const std::size_t last = j;
        j = argmax_abs(out);
        if (std::fabs(out[last]) == std::fabs(out[j])) break;
    }
    // The alternating vector catches matrices that fool the power steps.
    for (std::size_t i = 0; i < n; ++i) {
        const double t = 1.0 + static_cast<double>(i) / static_cast<double>(n - 1);
        in[i] = i % 2 == 0 ? t : -t;
    }
    lu_solve_into(lu, perm, n, in, out);
    const double alt = 2.0 * norm1(out) / (3.0 * static_cast<double>(n));
    return alt > est ? alt : est;
}

}  // namespace zaviktools
