#include "interp/locate.hpp"

#include <cmath>

namespace zaviktools {

KnotLocator::KnotLocator(std::span<const double> x) {
    keys_.reserve(x.size());
    for (double v : x) keys_.push_back(total_order_key(v));
    // About one knot per bucket; a single bucket (plain bisection) when the
    // range cannot be scaled in doubles.
    std::size_t buckets = x.size() < 2 ? 1 : x.size();
    if (!x.empty()) {
        x0_ = x.front();
        scale_ = static_cast<double>(buckets) / (x.back() - x.front());
        if (!std::isfinite(scale_) || !(scale_ > 0.0)) {
            buckets = 1;
            scale_ = 0.0;
        }
    }
    last_ = static_cast<double>(buckets - 1);
    last_index_ = buckets - 1;
    start_.assign(buckets + 1, x.size());
    // Knots are increasing, so their buckets are non-decreasing.
    std::size_t b = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const std::size_t bi = bucket(x[i]);
        while (b <= bi) start_[b++] = i;
    }
}

}  // namespace zaviktools
