// Leave-one-out cross-validation of moving-neighbourhood ordinary kriging.
//
//     auto cv = zaviktools::cross_validate(data, SpatialVariogram{v}, 16, 500.0, KrigeRun{});
//     double error0 = cv->estimate[0] - data[0][2];
//
// Each datum is kriged from the data at every other location, with the
// neighbours and the system of krige_points (kriging_targets.hpp). Data that
// share a location (exactly equal x and y, as dedup_coincident merges them)
// are left out together: a twin would otherwise be the estimate itself, with
// variance 0. The other locations' coincident data are merged, averaged, as
// for any kriging. Every datum of one location therefore gets the same
// estimate and variance.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "geostat/local_kriging.hpp"
#include "geostat/prep.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

struct CrossValidation {
    std::vector<double> estimate;  // per input datum, in input order
    std::vector<double> variance;  // NaN in both where no other location lies in range or the system is singular
};

// Errors, in this order:
//   InvalidArgument "cross_validate: need max_neighbours >= 1 and radius > 0"
//   EmptyInput "cross_validate: no data"
//   InvalidArgument "cross_validate: point {i} is not finite (x, y and z must be finite)"
//   OutOfMemory "cross_validate: cannot allocate working storage for {n} data"
//   Interrupted "cross_validate" when the installed StopPoll asks to stop.
// The locations are spread over the worker threads of `run`; the result is
// the same bits at every thread count.
Result<CrossValidation> cross_validate(std::span<const DataPoint> points, const SpatialVariogram& variogram,
                                       std::size_t max_neighbours, double radius, const KrigeRun& run);

}  // namespace zaviktools
