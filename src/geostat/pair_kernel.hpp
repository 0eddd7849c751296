// The pairing kernel of the experimental variogram: every unordered pair
// (a < b, a-major order) binned on the fly by horizontal separation.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zaviktools {

// Data as columns (x, y, value z), all finite.
struct PairColumns {
    std::vector<double> x, y, z;
};

struct LagBin {
    double sum_sq = 0.0;  // sum of (za - zb)^2
    double sum_h = 0.0;   // sum of separations
    std::uint64_t count = 0;
};

// For every pair with h = sqrt(dx*dx + dy*dy) < cutoff: bin floor(h / lag),
// clamped to the last bin (a quotient that rounds up to the bin count of a
// pair below the cut-off counts in the last bin). Each bin accumulates in pair
// order, so the sums are reproducible bit for bit. Runs the widest path the
// processor supports; every path gives the same bits. False when the
// installed StopPoll stopped it part way (the bins are then incomplete).
bool accumulate_pairs(const PairColumns& cols, double lag, double cutoff, std::span<LagBin> bins);

// The path for any processor (two lanes where SSE2 exists, else scalar).
bool accumulate_pairs_portable(const PairColumns& cols, double lag, double cutoff, std::span<LagBin> bins);

namespace detail {
// Four-lane path; only called where the processor has AVX2.
bool accumulate_pairs_avx2(const PairColumns& cols, double lag, double cutoff, std::span<LagBin> bins);
}  // namespace detail

}  // namespace zaviktools
