// The batched correlation of the kriging matrix. Squares, sums, square roots
// and quotients are correctly rounded in every lane width, so the two-lane
// path gives exactly the values of Correlation::operator(); the spherical
// model's two branches are both computed and the right one selected.
#include "geostat/sgs/correlation.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zaviktools {

void Correlation::many(const double* dx, const double* dy, std::size_t n, double* out) const {
    if (isotropic_)
        many_isotropic(dx, dy, n, out);
    else
        many_anisotropic(dx, dy, n, out);
}

#if defined(__SSE2__)

namespace {

// rho = 1 - g / total with g = 0 where `zero` is set.
inline __m128d finish(__m128d g, __m128d zero, __m128d total) {
    g = _mm_andnot_pd(zero, g);
    return _mm_sub_pd(_mm_set1_pd(1.0), _mm_div_pd(g, total));
}

inline __m128d spherical(__m128d h, double a, double c0, double c) {
    const __m128d r = _mm_div_pd(h, _mm_set1_pd(a));
    // c0 + c*((-0.5*r)*r*r + 1.5*r)
    const __m128d cubic = _mm_mul_pd(_mm_mul_pd(_mm_mul_pd(_mm_set1_pd(-0.5), r), r), r);
    const __m128d poly = _mm_add_pd(cubic, _mm_mul_pd(_mm_set1_pd(1.5), r));
    const __m128d inside = _mm_add_pd(_mm_set1_pd(c0), _mm_mul_pd(_mm_set1_pd(c), poly));
    const __m128d beyond = _mm_cmpge_pd(r, _mm_set1_pd(1.0));
    const __m128d full = _mm_set1_pd(c0 + c);
    return _mm_or_pd(_mm_and_pd(beyond, full), _mm_andnot_pd(beyond, inside));
}

}  // namespace

void Correlation::many_isotropic(const double* dx, const double* dy, std::size_t n, double* out) const {
    std::size_t t = 0;
    if (model_ == VariogramModel::Spherical) {
        const __m128d total = _mm_set1_pd(total_);
        const __m128d zero = _mm_setzero_pd();
        for (; t + 2 <= n; t += 2) {
            const __m128d x = _mm_loadu_pd(dx + t);
            const __m128d y = _mm_loadu_pd(dy + t);
            const __m128d h2 = _mm_add_pd(_mm_mul_pd(x, x), _mm_mul_pd(y, y));
            const __m128d h = _mm_sqrt_pd(h2);
            const __m128d at_zero = _mm_or_pd(_mm_cmpeq_pd(h2, zero), _mm_cmpeq_pd(_mm_mul_pd(h, h), zero));
            _mm_storeu_pd(out + t, finish(spherical(h, a_, c0_, c_), at_zero, total));
        }
    }
    for (; t < n; ++t) out[t] = (*this)(dx[t], dy[t]);
}

void Correlation::many_anisotropic(const double* dx, const double* dy, std::size_t n, double* out) const {
    std::size_t t = 0;
    if (model_ == VariogramModel::Spherical) {
        const __m128d total = _mm_set1_pd(total_);
        const __m128d zero = _mm_setzero_pd();
        const __m128d s = _mm_set1_pd(sin_), k = _mm_set1_pd(cos_);
        const __m128d major = _mm_set1_pd(major_), minor = _mm_set1_pd(minor_), w2 = _mm_set1_pd(w_ * w_);
        for (; t + 2 <= n; t += 2) {
            const __m128d x = _mm_loadu_pd(dx + t);
            const __m128d y = _mm_loadu_pd(dy + t);
            const __m128d along = _mm_add_pd(_mm_mul_pd(y, k), _mm_mul_pd(x, s));
            const __m128d across = _mm_sub_pd(_mm_mul_pd(x, k), _mm_mul_pd(y, s));
            const __m128d u = _mm_div_pd(_mm_mul_pd(across, major), minor);
            const __m128d h2 = _mm_add_pd(_mm_add_pd(_mm_mul_pd(along, along), _mm_mul_pd(u, u)), w2);
            const __m128d h = _mm_sqrt_pd(h2);
            _mm_storeu_pd(out + t, finish(spherical(h, a_, c0_, c_), _mm_cmpeq_pd(h2, zero), total));
        }
    }
    for (; t < n; ++t) out[t] = (*this)(dx[t], dy[t]);
}

#else

void Correlation::many_isotropic(const double* dx, const double* dy, std::size_t n, double* out) const {
    for (std::size_t t = 0; t < n; ++t) out[t] = (*this)(dx[t], dy[t]);
}

void Correlation::many_anisotropic(const double* dx, const double* dy, std::size_t n, double* out) const {
    for (std::size_t t = 0; t < n; ++t) out[t] = (*this)(dx[t], dy[t]);
}

#endif

}  // namespace zaviktools
