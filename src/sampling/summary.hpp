// The P90 / P50 / P10 / mean digest of a realisation set, under the
// oil-industry exceedance convention: P90 is the low case (exceeded 90 % of
// the time, the statistical 10th percentile), P10 the high case.
#pragma once

#include <span>
#include <string>

#include "foundation/error.hpp"

namespace zaviktools {

struct ReservoirSummary {
    double p90;   // type-7 10th percentile
    double p50;   // median
    double p10;   // type-7 90th percentile
    double mean;  // running mean
};

// EmptyInput "stats: no data" on empty data; non-finite values flow through.
Result<ReservoirSummary> reservoir_summary(std::span<const double> data);

// "ReservoirSummary(p90=1.4, p50=3, p10=4.6, mean=3)" (shortest round-trip numbers).
std::string summary_repr(const ReservoirSummary& s);

}  // namespace zaviktools
