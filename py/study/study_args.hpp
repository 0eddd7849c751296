// Argument handling shared by the study kernels: flat buffers as data rows or
// points, and the optional exact thread count of the kriging calls.
#pragma once

#include <cstdint>
#include <optional>
#include <initializer_list>
#include <vector>

#include "foundation/lattice.hpp"
#include "frame/buffer.hpp"
#include "frame/python.hpp"
#include "frame/ref.hpp"
#include "frame/settings.hpp"
#include "geostat/local_kriging.hpp"
#include "variograms/variogram_args.hpp"
#include "geostat/prep.hpp"
#include "variograms/variogram.hpp"

namespace zkstudy {

// [x, y, z] rows of a flat buffer; nothing with ValueError "{what}: {n}
// values are not whole rows of 3" unless the count divides.
inline std::optional<std::vector<zaviktools::DataPoint>> data_rows(const zkpy::F64Buffer& b, const char* what) {
    if (!zkpy::check_rows(b, 3, what)) return std::nullopt;
    std::vector<zaviktools::DataPoint> rows(b.values.size() / 3);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = {b.values[3 * i], b.values[3 * i + 1], b.values[3 * i + 2]};
    return rows;
}

// [x, y] points of a flat buffer, the same way.
inline std::optional<std::vector<zaviktools::Xy>> xy_rows(const zkpy::F64Buffer& b, const char* what) {
    if (!zkpy::check_rows(b, 2, what)) return std::nullopt;
    std::vector<zaviktools::Xy> rows(b.values.size() / 2);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = {b.values[2 * i], b.values[2 * i + 1]};
    return rows;
}

// `threads=None`: the configured count (ZAVIKTOOLS_NUM_THREADS or one per
// CPU), fewer for small inputs; a number: exactly that many workers. Nothing
// with ValueError "threads must be >= 1" for 0. Call with the lock held.
inline std::optional<zaviktools::KrigeRun> kriging_run(const std::optional<std::uint64_t>& threads) {
    if (!threads) return zaviktools::KrigeRun{.threads = zkpy::configured_threads()};
    if (*threads == 0) {
        zkpy::raise_value_error("threads must be >= 1");
        return std::nullopt;
    }
    return zaviktools::KrigeRun{.threads = static_cast<std::size_t>(*threads), .exact_threads = true};
}

// What every kriging kernel reads from its `coords`, `variogram` and
// `threads` arguments, in that order.
struct KrigingCall {
    std::vector<zaviktools::DataPoint> data;
    zaviktools::SpatialVariogram variogram;
    zaviktools::KrigeRun run;
};
inline std::optional<KrigingCall> kriging_call(const zkpy::F64Buffer& coords, PyObject* variogram,
                                               const std::optional<std::uint64_t>& threads) {
    auto data = data_rows(coords, "coords");
    if (!data) return std::nullopt;
    KrigingCall call{std::move(*data), {}, {}};
    if (!zkpy::extract_spatial_variogram(variogram, call.variogram)) return std::nullopt;
    const auto run = kriging_run(threads);
    if (!run) return std::nullopt;
    call.run = *run;
    return call;
}

// A new tuple of `items` (new references, stolen; any nullptr fails it), then
// the shape (ncol, nrow) of `shape` when given. nullptr with the error set
// on failure.
inline PyObject* tuple_of(std::initializer_list<PyObject*> items, const zaviktools::Lattice* shape = nullptr) {
    std::vector<zkpy::Ref> owned;
    for (PyObject* item : items) owned.emplace_back(item);
    if (shape) {
        owned.emplace_back(Py_BuildValue("(KK)", static_cast<unsigned long long>(shape->ncol()),
                                         static_cast<unsigned long long>(shape->nrow())));
    }
    zkpy::Ref tuple(PyTuple_New(static_cast<Py_ssize_t>(owned.size())));
    if (!tuple) return nullptr;
    for (std::size_t i = 0; i < owned.size(); ++i) {
        if (!owned[i]) return nullptr;
        PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), owned[i].release());
    }
    return tuple.release();
}

}  // namespace zkstudy
