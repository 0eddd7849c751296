#include "geostat/pair_kernel.hpp"

#include "foundation/cpu.hpp"
#include "foundation/interrupt.hpp"

#include <cmath>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zaviktools {

namespace {

// Pairs are processed in blocks of b: first separation, bin and squared
// difference for the whole block (straight-line, two lanes at a time), then the
// in-range pairs are listed and accumulated in order. IEEE sqrt and division
// are correctly rounded in every lane width, so both paths give the same bits.
constexpr std::size_t kBlock = 512;

struct BlockOut {
    double h[kBlock];
    double q[kBlock];   // bin index as a double; `outside` when h >= cutoff
    double d2[kBlock];
    std::uint32_t keep[kBlock];
};

struct Params {
    double lag, cutoff, last, outside;
};

inline void block_scalar(double xa, double ya, double za, const double* x, const double* y, const double* z,
                         std::size_t from, std::size_t to, const Params& p, BlockOut& out) {
    for (std::size_t j = from; j < to; ++j) {
        const double dx = xa - x[j];
        const double dy = ya - y[j];
        const double dz = za - z[j];
        const double h = std::sqrt(dx * dx + dy * dy);
        double q = h / p.lag;
        q = q < p.last ? q : p.last;
        q = h < p.cutoff ? q : p.outside;
        out.h[j] = h;
        out.q[j] = q;
        out.d2[j] = dz * dz;
    }
}

inline void block_values(double xa, double ya, double za, const double* x, const double* y, const double* z,
                         std::size_t len, const Params& p, BlockOut& out) {
    std::size_t j = 0;
#if defined(__SSE2__)
    const __m128d vxa = _mm_set1_pd(xa), vya = _mm_set1_pd(ya), vza = _mm_set1_pd(za);
    const __m128d vlag = _mm_set1_pd(p.lag), vcut = _mm_set1_pd(p.cutoff);
    const __m128d vlast = _mm_set1_pd(p.last), vout = _mm_set1_pd(p.outside);
    for (; j + 2 <= len; j += 2) {
        const __m128d dx = _mm_sub_pd(vxa, _mm_loadu_pd(x + j));
        const __m128d dy = _mm_sub_pd(vya, _mm_loadu_pd(y + j));
        const __m128d dz = _mm_sub_pd(vza, _mm_loadu_pd(z + j));
        const __m128d h = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(dy, dy)));
        // min(q, last) picks `last` unless q < last, as the scalar form does.
        const __m128d q = _mm_min_pd(_mm_div_pd(h, vlag), vlast);
        const __m128d in = _mm_cmplt_pd(h, vcut);
        _mm_storeu_pd(out.h + j, h);
        _mm_storeu_pd(out.q + j, _mm_or_pd(_mm_and_pd(in, q), _mm_andnot_pd(in, vout)));
        _mm_storeu_pd(out.d2 + j, _mm_mul_pd(dz, dz));
    }
#endif
    block_scalar(xa, ya, za, x, y, z, j, len, p, out);
}

}  // namespace

bool accumulate_pairs_portable(const PairColumns& cols, double lag, double cutoff, std::span<LagBin> bins) {
    const std::size_t n = cols.x.size();
    if (bins.empty() || n < 2) return true;
    const Params p{lag, cutoff, static_cast<double>(bins.size() - 1), static_cast<double>(bins.size())};
    BlockOut out;
    StopCheck stop(16);  // rows of pairs: the clock is read every 16 rows
    for (std::size_t a = 0; a + 1 < n; ++a) {
        if (stop()) return false;
        const double xa = cols.x[a], ya = cols.y[a], za = cols.z[a];
        for (std::size_t b0 = a + 1; b0 < n; b0 += kBlock) {
            const std::size_t len = (n - b0) < kBlock ? (n - b0) : kBlock;
            block_values(xa, ya, za, cols.x.data() + b0, cols.y.data() + b0, cols.z.data() + b0, len, p, out);
            // Branch-free listing of the in-range pairs, then the in-order accumulation.
            std::size_t kept = 0;
            for (std::size_t j = 0; j < len; ++j) {
                out.keep[kept] = static_cast<std::uint32_t>(j);
                kept += out.q[j] < p.outside ? 1 : 0;
            }
            for (std::size_t i = 0; i < kept; ++i) {
                const std::uint32_t j = out.keep[i];
                LagBin& bin = bins[static_cast<std::size_t>(out.q[j])];
                bin.sum_sq += out.d2[j];
                bin.sum_h += out.h[j];
                ++bin.count;
            }
        }
    }
    return true;
}

bool accumulate_pairs(const PairColumns& cols, double lag, double cutoff, std::span<LagBin> bins) {
    if (cpu_has_avx2()) return detail::accumulate_pairs_avx2(cols, lag, cutoff, bins);
    return accumulate_pairs_portable(cols, lag, cutoff, bins);
}

}  // namespace zaviktools
