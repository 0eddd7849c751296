// cross_validate: leave-one-out kriging of every datum from the others.
#include <cstdint>
#include <optional>

#include "frame/budget.hpp"
#include "frame/buffer.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "geostat/cross_validation.hpp"
#include "study_args.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(cross_validate, "cross_validate(coords, variogram, max_neighbours, radius, threads=None)",
            "Leave-one-out cross-validation of `coords` (float64 buffer of [x, y, z]\n"
            "rows): each datum kriged from the data at every other location, with a\n"
            "`Variogram` or an `AnisotropicVariogram`. Data sharing a location are left\n"
            "out together. `(estimate, variance)` as two bytearrays of float64, one\n"
            "value per datum. Runs with the GIL released; the same bits at every thread\n"
            "count.") {
    zkpy::F64Buffer coords;
    zkpy::AnyObject variogram;
    std::uint64_t max_neighbours = 0;
    double radius = 0.0;
    std::optional<std::uint64_t> threads;
    if (!args.parse(coords, variogram, max_neighbours, radius, threads)) return nullptr;
    const auto call = zkstudy::kriging_call(coords, variogram.obj, threads);
    if (!call) return nullptr;
    // Per datum: the merged copy, its index entry and location, two results and their bytearrays.
    const std::uint64_t n = call->data.size();
    if (!zkpy::fits_in_memory("cross_validate", {zkpy::sat_mul(n, 176), zkpy::sat_mul(n, 160)})) return nullptr;
    auto cv = zkpy::without_gil(
        [&] { return zk::cross_validate(call->data, call->variogram, max_neighbours, radius, call->run); });
    if (!cv) return zkpy::to_pyerr(std::move(cv).error());
    return zkstudy::tuple_of({zkpy::to_bytearray(cv->estimate), zkpy::to_bytearray(cv->variance)});
}
