// weighted_mean, weighted_variance, weighted_std, weighted_percentile.
#include <vector>

#include "frame/entry.hpp"
#include "frame/interrupt.hpp"
#include "frame/result.hpp"
#include "stats/weighted.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(weighted_mean, "weighted_mean(values, weights)",
            "Weighted arithmetic mean of `values` under `weights` (equal length,\n"
            "non-negative weights summing > 0).") {
    std::vector<double> values, weights;
    if (!args.parse(values, weights)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the loops hold the lock
    return zkpy::to_py(zk::weighted_mean(values, weights));
}

ZK_FUNCTION(weighted_variance, "weighted_variance(values, weights)",
            "Weighted (reliability-weighted, unbiased) sample variance.") {
    std::vector<double> values, weights;
    if (!args.parse(values, weights)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the loops hold the lock
    return zkpy::to_py(zk::weighted_variance(values, weights));
}

ZK_FUNCTION(weighted_std, "weighted_std(values, weights)",
            "Weighted sample standard deviation (`√weighted_variance`).") {
    std::vector<double> values, weights;
    if (!args.parse(values, weights)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the loops hold the lock
    return zkpy::to_py(zk::weighted_std_dev(values, weights));
}

ZK_FUNCTION(weighted_percentile, "weighted_percentile(values, weights, p)",
            "Weighted `p`-th percentile (`p` in `[0, 100]`), interpolated linearly between\n"
            "weight-midpoint plotting positions: on equal weights the midpoint (Hazen,\n"
            "type-5) percentile, not the type-7 one of `percentile`.") {
    std::vector<double> values, weights;
    double p = 0.0;
    if (!args.parse(values, weights, p)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the loops hold the lock
    return zkpy::to_py(zk::weighted_percentile(values, weights, p));
}
