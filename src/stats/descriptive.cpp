#include "stats/descriptive.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "foundation/interrupt.hpp"
#include "stats/select.hpp"
#include "stats/sort.hpp"

namespace zaviktools {

namespace {
constexpr const char* kNoData = "stats: no data";
}  // namespace

Result<double> mean(std::span<const double> data) {
    if (data.empty()) return fail(AlgoError::empty_input(kNoData));
    // Running form, not sum / n: the bit pattern is part of the contract.
    double m = 0.0, k = 0.0;
    StopCheck stop;  // a value takes a nanosecond or two: asked between runs of 4096
    const bool done = run_chunked(stop, data.size(), 4096, [&](std::size_t i) {
        k += 1.0;
        m = m + (data[i] - m) / k;
        return true;
    });
    if (!done) return fail(AlgoError::interrupted("mean"));
    return m;
}

Result<double> variance(std::span<const double> data) {
    if (data.empty()) return fail(AlgoError::empty_input(kNoData));
    if (data.size() == 1) return 0.0;
    double sum = data[0], i = 1.0, acc = 0.0;
    StopCheck stop;
    const bool done = run_chunked(stop, data.size() - 1, 4096, [&](std::size_t k) {
        const double x = data[k + 1];
        i = i + 1.0;
        sum = sum + x;
        const double d = i * x - sum;
        acc = acc + d * d / (i * (i - 1.0));
        return true;
    });
    if (!done) return fail(AlgoError::interrupted("variance"));
    return acc / (i - 1.0);
}

Result<double> std_dev(std::span<const double> data) {
    auto v = variance(data);
    if (!v) return v;
    if (data.size() == 1) return 0.0;
    return std::sqrt(*v);
}

double percentile_sorted(std::span<const double> s, double p) {
    const std::size_t n = s.size();
    if (n == 1) return s[0];
    const double h = static_cast<double>(n - 1) * (p / 100.0);
    const std::size_t lo = static_cast<std::size_t>(std::floor(h));
    if (lo + 1 < n) return (s[lo + 1] - s[lo]) * (h - static_cast<double>(lo)) + s[lo];
    return s[n - 1];
}

Result<double> percentile(std::span<const double> data, double p) {
    if (data.empty()) return fail(AlgoError::empty_input(kNoData));
    if (!(p >= 0.0 && p <= 100.0))
        return fail(AlgoError::invalid_argument("percentile: p must be in [0, 100]"));
    if (data.size() == 1) return data[0];
    std::vector<double> s(data.begin(), data.end());
    const AlgoError stopped = AlgoError::interrupted("percentile");
    if (const Ambiguity a = order_ambiguity(s); a != Ambiguity::None) {
        if (!stable_sort_values_stoppable(s, a == Ambiguity::NaN)) return fail(stopped);
        return percentile_sorted(s, p);
    }
    // Without NaN and -0.0 every sort puts the same bits at each rank, so the
    // two ranks the interpolation reads can be selected in linear time.
    const std::size_t n = s.size();
    const double h = static_cast<double>(n - 1) * (p / 100.0);
    const std::size_t lo = static_cast<std::size_t>(std::floor(h));
    if (!select_nth_stoppable(s, lo)) return fail(stopped);
    if (lo + 1 < n) {
        const double next = *std::min_element(s.begin() + static_cast<std::ptrdiff_t>(lo + 1), s.end());
        return (next - s[lo]) * (h - static_cast<double>(lo)) + s[lo];
    }
    return s[lo];
}

Result<double> median(std::span<const double> data) { return percentile(data, 50.0); }

}  // namespace zaviktools
