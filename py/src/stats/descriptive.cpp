// mean, variance, std, percentile, median.
#include <vector>

#include "frame/entry.hpp"
#include "frame/interrupt.hpp"
#include "frame/result.hpp"
#include "stats/descriptive.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(mean, "mean(data)", "Arithmetic mean of `data`. Errors on empty input.") {
    std::vector<double> data;
    if (!args.parse(data)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the loops hold the lock
    return zkpy::to_py(zk::mean(data));
}

ZK_FUNCTION(variance, "variance(data)",
            "Unbiased sample variance (`n − 1` denominator). A single value yields `0.0`.") {
    std::vector<double> data;
    if (!args.parse(data)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the loops hold the lock
    return zkpy::to_py(zk::variance(data));
}

ZK_FUNCTION(std, "std(data)", "Unbiased sample standard deviation (`√variance`).") {
    std::vector<double> data;
    if (!args.parse(data)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the loops hold the lock
    return zkpy::to_py(zk::std_dev(data));
}

ZK_FUNCTION(percentile, "percentile(data, p)",
            "The `p`-th percentile (`p` in `[0, 100]`), type-7 (Excel `PERCENTILE`\n"
            "parity): `percentile([1, 2, 3, 4, 5], 25) == 2.0`.") {
    std::vector<double> data;
    double p = 0.0;
    if (!args.parse(data, p)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the loops hold the lock
    return zkpy::to_py(zk::percentile(data, p));
}

ZK_FUNCTION(median, "median(data)", "The median (50th percentile) of `data`.") {
    std::vector<double> data;
    if (!args.parse(data)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the loops hold the lock
    return zkpy::to_py(zk::median(data));
}
