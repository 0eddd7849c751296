// The NormalScore class (the table of the normal-score transform, applied to
// whole buffers) and sgs_scores (the score field of a simulation).
#include <cstdint>
#include <string>

#include "foundation/lattice.hpp"
#include "frame/budget.hpp"
#include "frame/buffer.hpp"
#include "frame/classes.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "frame/settings.hpp"
#include "geostat/nscore_apply.hpp"
#include "geostat/sgs.hpp"
#include "variograms/variogram_args.hpp"
#include "study_args.hpp"

namespace zk = zaviktools;

namespace {

const zk::NormalScore& self(PyObject* s) { return zkpy::self_of<zk::NormalScore>(s); }

PyObject* bytes_of(const std::vector<double>& v) {
    return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(v.data()),
                                     static_cast<Py_ssize_t>(v.size() * sizeof(double)));
}

// forward / back of a whole buffer, with the lock released and spread over
// the configured threads.
PyObject* apply(zkpy::Args& args, zk::ScoreDirection direction, const char* what) {
    zkpy::F64Buffer values;
    if (!args.parse(values)) return nullptr;
    const std::uint64_t n = values.values.size();
    if (!zkpy::fits_in_memory(what, {zkpy::sat_mul(n, 16), zkpy::sat_mul(n, 8)})) return nullptr;
    const std::size_t threads = zkpy::configured_threads();
    const zk::NormalScore& table = self(args.self());  // immutable, and kept alive by the call
    auto out = zkpy::without_gil([&] { return zk::normal_score_apply(table, values.values, direction, threads); });
    if (!out) return zkpy::to_pyerr(std::move(out).error());
    return zkpy::to_bytearray(*out);
}

}  // namespace

ZK_CONSTRUCTOR(NormalScore, "NormalScore(data)",
               "The normal-score table of `data` (a buffer of float64 values): the distinct\n"
               "values ascending and the mean midpoint-rank score of each, the table the\n"
               "conditional simulation fits to its data. The fit runs with the GIL released.") {
    zkpy::F64Buffer data;
    if (!args.parse(data)) return nullptr;
    auto table = zkpy::without_gil([&] { return zk::normal_score_table(data.values); });
    if (!table) return zkpy::to_pyerr(std::move(table).error());
    return zkpy::wrap(std::move(*table));
}

ZK_METHOD(NormalScore, forward, "forward($self, x)",
          "Scores of the values in `x` (a float64 buffer) as a bytearray of float64:\n"
          "piecewise-linear between the table's entries, flat beyond them; NaN stays NaN.") {
    return apply(args, zk::ScoreDirection::Forward, "NormalScore.forward");
}

ZK_METHOD(NormalScore, back, "back($self, y)",
          "Values of the scores in `y` (a float64 buffer) as a bytearray of float64:\n"
          "piecewise-linear between the table's entries, flat beyond them; NaN stays NaN.") {
    return apply(args, zk::ScoreDirection::Back, "NormalScore.back");
}

namespace {

PyMethodDef normal_score_methods[] = {ZK_MDEF(NormalScore, forward), ZK_MDEF(NormalScore, back),
                                      {nullptr, nullptr, 0, nullptr}};

PyGetSetDef normal_score_getset[] = {
    {"values", [](PyObject* s, void*) { return bytes_of(self(s).values); }, nullptr,
     "The distinct data values, ascending, as float64 bytes.", nullptr},
    {"scores", [](PyObject* s, void*) { return bytes_of(self(s).scores); }, nullptr,
     "The score of each value, ascending, as float64 bytes.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

Py_ssize_t normal_score_len(PyObject* s) { return static_cast<Py_ssize_t>(self(s).values.size()); }

PyObject* normal_score_repr(PyObject* s) {
    return zkpy::to_py("NormalScore(" + std::to_string(self(s).values.size()) + " values)");
}

}  // namespace

PyObject* zkpy_class_NormalScore() {
    static const zkpy::ClassDef def{"zaviktools._study.NormalScore",
                                    "NormalScore",
                                    zkc_NormalScore_doc,
                                    zkc_NormalScore_new,
                                    normal_score_methods,
                                    normal_score_getset,
                                    zkpy::guarded_slot<&normal_score_repr>,
                                    {{Py_sq_length, reinterpret_cast<void*>(&normal_score_len)}}};
    return zkpy::make_class<zk::NormalScore>(def);
}

ZK_FUNCTION(sgs_scores, "sgs_scores(coords, lattice, variogram, max_neighbours, radius, seed)",
            "The normal-score field of `sgs` with the same arguments (`coords` a float64\n"
            "buffer of [x, y, z] rows), before its back transform: `(bytearray,\n"
            "(ncol, nrow))`. `sgs` is the back transform of this field through the table\n"
            "`NormalScore(z)`, bit for bit. Runs with the GIL released.") {
    zkpy::F64Buffer coords;
    zkpy::Instance<zk::Lattice> lattice;
    zkpy::AnyObject variogram;
    std::uint64_t max_neighbours = 0;
    double radius = 0.0;
    std::uint64_t seed = 0;
    if (!args.parse(coords, lattice, variogram, max_neighbours, radius, seed)) return nullptr;
    const auto rows = zkstudy::data_rows(coords, "coords");
    if (!rows) return nullptr;
    zk::SpatialVariogram spatial;
    if (!zkpy::extract_spatial_variogram(variogram.obj, spatial)) return nullptr;
    auto params = zk::SgsParams::create(spatial, max_neighbours, radius, seed);
    if (!params) return zkpy::to_pyerr(std::move(params).error());
    const zk::Lattice lat = *lattice;
    // As sgs_flat: the field, the path, the simulated points and their index.
    if (!zkpy::lattice_fits("sgs_scores", lat.ncol(), lat.nrow(), 64, 1, true)) return nullptr;
    auto run = zkpy::without_gil([&] { return zk::sgs_scores(*rows, lat, *params); });
    if (!run) return zkpy::to_pyerr(std::move(run).error());
    return zkstudy::tuple_of({zkpy::to_bytearray(run->scores.values())}, &lat);
}
