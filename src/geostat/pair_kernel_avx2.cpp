// Four-lane pairing path: separation, bin and squared difference of four pairs
// at once, with the in-range pairs packed in order straight from the lanes, so
// the in-order accumulation reads them sequentially. IEEE sqrt and division
// are correctly rounded in every lane width: same bits as the portable path.
//
// The bin floor(h / lag) is taken from h * (1 / lag) where that provably has
// the same floor: both quotients lie within 3.01 ulp-relative of h / lag, so
// their floors can differ only when an integer k >= 1 lies within q * 2^-50 of
// the product q. Four lanes with such a near-integer in-range quotient take
// the division instead (rare: exact multiples of lag, huge quotients). Used
// only when 1 / lag is a normal number.
#include <cmath>
#include <cstddef>

#include "foundation/interrupt.hpp"
#include "geostat/pair_kernel.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zaviktools::detail {

#if defined(__x86_64__)

namespace {

constexpr std::size_t kBlock = 512;

// Per 4-bit lane mask: the 32-bit lane permutation that moves the kept doubles
// to the front, and how many there are.
struct PackTable {
    alignas(32) std::int32_t perm[16][8];
    std::uint32_t kept[16];
};

constexpr PackTable make_pack_table() {
    PackTable t{};
    for (int m = 0; m < 16; ++m) {
        int k = 0;
        for (int lane = 0; lane < 4; ++lane) {
            if (m & (1 << lane)) {
                t.perm[m][2 * k] = 2 * lane;
                t.perm[m][2 * k + 1] = 2 * lane + 1;
                ++k;
            }
        }
        t.kept[m] = static_cast<std::uint32_t>(k);
        for (; k < 4; ++k) {
            t.perm[m][2 * k] = 0;
            t.perm[m][2 * k + 1] = 1;
        }
    }
    return t;
}

constexpr PackTable kPack = make_pack_table();

// Kept pairs of one block, packed; 4 slots of slack for the full-width stores.
struct Packed {
    double h[kBlock + 4];
    double q[kBlock + 4];
    double d2[kBlock + 4];
};

__attribute__((target("avx2"))) inline __m256d pack(__m256d v, __m256i perm) {
    return _mm256_castsi256_pd(_mm256_permutevar8x32_epi32(_mm256_castpd_si256(v), perm));
}

}  // namespace

__attribute__((target("avx2"))) bool accumulate_pairs_avx2(const PairColumns& cols, double lag, double cutoff,
                                                           std::span<LagBin> bins) {
    const std::size_t n = cols.x.size();
    if (bins.empty() || n < 2) return true;
    const double last = static_cast<double>(bins.size() - 1);
    const __m256d vlag = _mm256_set1_pd(lag), vcut = _mm256_set1_pd(cutoff), vlast = _mm256_set1_pd(last);
    const double inv = 1.0 / lag;
    const bool by_product = std::isnormal(inv);
    const __m256d vinv = _mm256_set1_pd(inv), vtol = _mm256_set1_pd(0x1p-50), vone = _mm256_set1_pd(1.0);
    const __m256d vmagnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffLL));
    Packed out;
    StopCheck stop(16);  // rows of pairs: the clock is read every 16 rows
    for (std::size_t a = 0; a + 1 < n; ++a) {
        if (stop()) return false;
        const double xa = cols.x[a], ya = cols.y[a], za = cols.z[a];
        const __m256d vxa = _mm256_set1_pd(xa), vya = _mm256_set1_pd(ya), vza = _mm256_set1_pd(za);
        for (std::size_t b0 = a + 1; b0 < n; b0 += kBlock) {
            const std::size_t len = (n - b0) < kBlock ? (n - b0) : kBlock;
            const double* x = cols.x.data() + b0;
            const double* y = cols.y.data() + b0;
            const double* z = cols.z.data() + b0;
            std::size_t j = 0, kept = 0;
            for (; j + 4 <= len; j += 4) {
                const __m256d dx = _mm256_sub_pd(vxa, _mm256_loadu_pd(x + j));
                const __m256d dy = _mm256_sub_pd(vya, _mm256_loadu_pd(y + j));
                const __m256d dz = _mm256_sub_pd(vza, _mm256_loadu_pd(z + j));
                const __m256d h = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)));
                const __m256d in = _mm256_cmp_pd(h, vcut, _CMP_LT_OQ);
                __m256d quotient;
                if (by_product) {
                    quotient = _mm256_mul_pd(h, vinv);
                    const __m256d k = _mm256_round_pd(quotient, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
                    const __m256d gap = _mm256_and_pd(_mm256_sub_pd(quotient, k), vmagnitude);  // exact (Sterbenz)
                    const __m256d near = _mm256_and_pd(_mm256_cmp_pd(gap, _mm256_mul_pd(quotient, vtol), _CMP_LE_OQ),
                                                       _mm256_cmp_pd(k, vone, _CMP_GE_OQ));
                    if (_mm256_movemask_pd(_mm256_and_pd(near, in)) != 0) quotient = _mm256_div_pd(h, vlag);
                } else {
                    quotient = _mm256_div_pd(h, vlag);
                }
                // min(q, last) picks `last` unless q < last, as the scalar form does; a
                // clamped or truncated product has the floor of the clamped quotient.
                const __m256d q = _mm256_min_pd(quotient, vlast);
                const int m = _mm256_movemask_pd(in);
                const __m256i perm = _mm256_load_si256(reinterpret_cast<const __m256i*>(kPack.perm[m]));
                _mm256_storeu_pd(out.h + kept, pack(h, perm));
                _mm256_storeu_pd(out.q + kept, pack(q, perm));
                _mm256_storeu_pd(out.d2 + kept, pack(_mm256_mul_pd(dz, dz), perm));
                kept += kPack.kept[m];
            }
            for (; j < len; ++j) {
                const double dx = xa - x[j];
                const double dy = ya - y[j];
                const double dz = za - z[j];
                const double h = std::sqrt(dx * dx + dy * dy);
                const double q = h / lag;
                out.h[kept] = h;
                out.q[kept] = q < last ? q : last;
                out.d2[kept] = dz * dz;
                kept += h < cutoff ? 1 : 0;
            }
            for (std::size_t i = 0; i < kept; ++i) {
                LagBin& bin = bins[static_cast<std::size_t>(out.q[i])];
                bin.sum_sq += out.d2[i];
                bin.sum_h += out.h[i];
                ++bin.count;
            }
        }
    }
    return true;
}

#else

bool accumulate_pairs_avx2(const PairColumns&, double, double, std::span<LagBin>) { return true; }

#endif

}  // namespace zaviktools::detail
