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

class KnotLocator {
public:
    explicit KnotLocator(std::span<const double> x);

    // Bisection over the knot keys; no branch on the comparison outcome.
    KnotPosition locate(double q) const {
        const std::int64_t k = total_order_key(q);
        const std::int64_t* base = keys_.data();
        std::size_t len = keys_.size();
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
    std::vector<std::int64_t> keys_;
};

}  // namespace zaviktools
