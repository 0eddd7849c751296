#include <algorithm>
#include <cmath>
#include <cstdint>

#include "synth/correlated.hpp"
#include "synth/petro.hpp"
#include "synth/series_size.hpp"

namespace zaviktools {

Result<std::vector<double>> ntg_curve(std::span<const double> net_flag, double depth_step, double window_m) {
    if (net_flag.empty()) return fail(AlgoError::empty_input("ntg_curve: empty net_flag"));
    if (!(std::isfinite(depth_step) && depth_step > 0.0))
        return fail(AlgoError::invalid_argument("ntg_curve: depth_step must be finite and > 0"));
    if (!(std::isfinite(window_m) && window_m > 0.0))
        return fail(AlgoError::invalid_argument("ntg_curve: window_m must be finite and > 0"));
    const std::uint64_t k = std::max<std::uint64_t>(round_to_count(window_m / depth_step) / 2, 1);
    const std::uint64_t n = net_flag.size();
    return with_series_storage<std::vector<double>>("ntg_curve", n, [&]() -> Result<std::vector<double>> {
        // prefix[i] = net samples among the first i (NaN counts as net).
        std::vector<std::uint64_t> prefix(n + 1, 0);
        std::vector<double> out(n);
        const bool done =
            for_each_sample(n, [&](std::uint64_t i) { prefix[i + 1] = prefix[i] + (net_flag[i] != 0.0 ? 1 : 0); }) &&
            for_each_sample(n, [&](std::uint64_t j) {
                // The window [j − k, j + k] clipped to the log; a saturated k never wraps.
                const std::uint64_t lo = j > k ? j - k : 0;
                const std::uint64_t hi = k >= n - 1 - j ? n - 1 : j + k;
                out[j] = static_cast<double>(prefix[hi + 1] - prefix[lo]) / static_cast<double>(hi + 1 - lo);
            });
        if (!done) return fail(AlgoError::interrupted("ntg_curve"));
        return out;
    });
}

}  // namespace zaviktools
