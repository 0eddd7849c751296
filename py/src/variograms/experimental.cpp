// Python class ExperimentalVariogram and the function experimental_variogram.
#include <array>
#include <string>
#include <vector>

#include "frame/classes.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "variograms/experimental_class.hpp"

namespace zk = zaviktools;
using zkpy::ExperimentalVariogramObject;

namespace {

// The Python object with its three lists built once, here.
PyObject* wrap_experimental(zk::ExperimentalVariogram ev) {
    zkpy::Ref lags(zkpy::to_py(ev.lags));
    if (!lags) return nullptr;
    zkpy::Ref semivariances(zkpy::to_py(ev.semivariances));
    if (!semivariances) return nullptr;
    zkpy::Ref counts(zkpy::to_py(ev.counts));
    if (!counts) return nullptr;
    return zkpy::wrap(ExperimentalVariogramObject{std::move(ev), std::move(lags), std::move(semivariances),
                                                  std::move(counts)});
}

const ExperimentalVariogramObject& self(PyObject* s) { return zkpy::self_of<ExperimentalVariogramObject>(s); }

// A new list over the cached items (refcount bumps, no re-boxing), so a
// caller who mutates what it got never changes what the next access returns.
PyObject* cached(const zkpy::Ref& list) { return PyList_GetSlice(list.get(), 0, PY_SSIZE_T_MAX); }

PyGetSetDef experimental_getset[] = {
    {"lags", [](PyObject* s, void*) -> PyObject* { return cached(self(s).lags); }, nullptr,
     "Mean pair separation `h̄ₖ` per retained lag class.", nullptr},
    {"semivariances", [](PyObject* s, void*) -> PyObject* { return cached(self(s).semivariances); }, nullptr,
     "Average semivariance `γ̂(hₖ)` per retained lag class.", nullptr},
    {"counts", [](PyObject* s, void*) -> PyObject* { return cached(self(s).counts); }, nullptr,
     "Data-pair count per retained lag class.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

Py_ssize_t experimental_len(PyObject* s) { return static_cast<Py_ssize_t>(self(s).value.size()); }

PyObject* experimental_repr(PyObject* s) {
    return zkpy::to_py("ExperimentalVariogram(" + std::to_string(self(s).value.size()) + " lag classes)");
}

}  // namespace

ZK_FUNCTION(experimental_variogram, "experimental_variogram(coords, lag, n_lags)",
            "Omnidirectional experimental variogram of `coords` (`[x, y, z]` rows, value\n"
            "in `z`): `n_lags` bins of width `lag`, empty bins dropped, each class\n"
            "reporting its mean pair separation. Errors on < 2 data or non-positive\n"
            "`lag` / zero `n_lags`. The O(n²) pairing runs with the GIL released.") {
    std::vector<std::array<double, 3>> coords;
    double lag = 0.0;
    std::uint64_t n_lags = 0;
    if (!args.parse(coords, lag, n_lags)) return nullptr;
    auto ev = zkpy::without_gil([&] { return zk::experimental_variogram(coords, n_lags, lag); });
    if (!ev) return zkpy::to_pyerr(std::move(ev).error());
    return wrap_experimental(std::move(*ev));
}

PyObject* zkpy_class_ExperimentalVariogram() {
    static const zkpy::ClassDef def{
        "zaviktools._zaviktools.ExperimentalVariogram",
        "ExperimentalVariogram",
        "An experimental (empirical) variogram: aligned `lags` / `semivariances` /\n"
        "`counts` per populated lag class. Feed it to `Variogram.fit`.\n\n"
        "The three aligned lists are materialized **once** at construction and cached,\n"
        "so `.lags` / `.semivariances` / `.counts` are cheap (`Py` refcount bumps) —\n"
        "no Vec clone + list rebuild per access.",
        nullptr,
        nullptr,
        experimental_getset,
        zkpy::guarded_slot<&experimental_repr>,
        {{Py_sq_length, reinterpret_cast<void*>(&experimental_len)}}};
    return zkpy::make_class<ExperimentalVariogramObject>(def);
}
