// Position of a query among strictly increasing knots under the IEEE total
// order, so -0.0 sorts before +0.0 and is not a hit on a knot at +0.0.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zaviktools {

// Signed integer whose order is the IEEE total order of the double.
inline std::int64_t total_order_key(double v) {
    const auto bits = std::bit_cast<std::int64_t>(v);
    return bits ^ static_cast<std::int64_t>(static_cast<std::uint64_t>(bits >> 63) >> 1);
}

struct KnotPosition {
    std::size_t p;  // number of knots below the query (insertion point)
    bool hit;       // the query equals knot p (then p < n)
};

// Bisection over the knot keys, narrowed first by a bucket table over the knot
// range. The bucket of a value is a monotone function of it, so knots in lower
// buckets are all below the query and knots in higher buckets all above: the
// insertion point always lies within the query's own bucket, whatever the
// rounding, and the result is exactly that of a bisection over all knots.
class KnotLocator {
public:
    explicit KnotLocator(std::span<const double> x);

    KnotPosition locate(double q) const {
        const std::int64_t k = total_order_key(q);
        const std::size_t b = bucket(q);
        const std::size_t lo = start_[b];
        const std::int64_t* base = keys_.data() + lo;
        std::size_t len = start_[b + 1] - lo;  // p lies in [lo, lo + len]
        while (len > 1) {
            const std::size_t half = len / 2;
            base = base[half - 1] < k ? base + half : base;
            len -= half;
        }
        std::size_t p = static_cast<std::size_t>(base - keys_.data());
        if (len == 1 && *base < k) ++p;
        return {p, p < keys_.size() && keys_[p] == k};
    }

private:
    // floor((v - x0) * scale) clamped to [0, buckets - 1]; monotone in v.
    std::size_t bucket(double v) const {
        const double t = (v - x0_) * scale_;
        if (!(t >= 0.0)) return 0;
        if (t >= last_) return last_index_;
        return static_cast<std::size_t>(t);
    }

    std::vector<std::int64_t> keys_;
    std::vector<std::size_t> start_;  // start_[b]: first knot whose bucket is >= b
    double x0_ = 0.0, scale_ = 0.0, last_ = 0.0;
    std::size_t last_index_ = 0;
};

}  // namespace zaviktools
