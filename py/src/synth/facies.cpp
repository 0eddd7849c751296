// Sand/shale series and porosity on facies.
#include <cstdint>
#include <cstring>
#include <vector>

#include "frame/budget.hpp"
#include "frame/entry.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "synth/facies.hpp"

namespace zk = zaviktools;
using zk::Facies;

namespace zkpy {
namespace {

// A facies list: signed integers, any non-zero value sand. The `bytes` of
// synth_facies_series are read directly rather than item by item.
struct FaciesArg {
    std::vector<Facies> value;
};

[[maybe_unused]] bool from_py(PyObject* o, FaciesArg& out) {
    out.value.clear();
    if (PyBytes_Check(o)) {
        const char* data = PyBytes_AS_STRING(o);
        const std::size_t n = static_cast<std::size_t>(PyBytes_GET_SIZE(o));
        out.value.resize(n);
        for (std::size_t i = 0; i < n; ++i) out.value[i] = data[i] != 0 ? Facies::Sand : Facies::Shale;
        return true;
    }
    std::vector<std::int64_t> ints;
    if (!zkpy::from_py(o, ints)) return false;
    out.value.reserve(ints.size());
    for (std::int64_t f : ints) out.value.push_back(f != 0 ? Facies::Sand : Facies::Shale);
    return true;
}

PyObject* facies_bytes(zk::Result<std::vector<Facies>>&& r) {
    if (!r) return to_pyerr(std::move(r).error());
    static_assert(sizeof(Facies) == 1);
    return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(r->data()), static_cast<Py_ssize_t>(r->size()));
}

}  // namespace
}  // namespace zkpy

ZK_FUNCTION(synth_facies_series, "synth_facies_series(n, depth_step, ntg_target, bed_scale_m, seed)",
            "A binary sand/shale series of `n` samples at `depth_step` m, sand proportion =\n"
            "`ntg_target`, mean bed thickness ~ `bed_scale_m`. Returns `bytes`, one byte per\n"
            "sample (`1` = sand, `0` = shale). Seeded/reproducible.") {
    std::uint64_t n = 0, seed = 0;
    double depth_step = 0.0, ntg_target = 0.0, bed_scale_m = 0.0;
    if (!args.parse(n, depth_step, ntg_target, bed_scale_m, seed)) return nullptr;
    // The driving series and the facies (9 bytes a sample), then the bytes result.
    const std::uint64_t native = zkpy::sat_mul(n, 9);
    if (!zkpy::fits_in_memory("synth_facies_series", {zkpy::sat_add(native, n), native})) return nullptr;
    auto f = zkpy::without_gil([&] { return zk::synth_facies_series(n, depth_step, ntg_target, bed_scale_m, seed); });
    return zkpy::facies_bytes(std::move(f));
}

ZK_FUNCTION(synth_por_with_facies,
            "synth_por_with_facies(facies, depth_step, sand_mean, sand_std, shale_mean, shale_std, corr_length_m, "
            "seed)",
            "Porosity composed onto a `facies` series (list of ints, `1` = sand): each\n"
            "sample drawn from the `sand`/`shale` `{mean, std}` target per its facies, over a\n"
            "shared AR(1) driver of length = `facies` (correlation length `corr_length_m`).\n"
            "Returns a `[0,1]` porosity list aligned with `facies`. Seeded/reproducible.") {
    zkpy::FaciesArg facies;
    double depth_step = 0.0, sand_mean = 0.0, sand_std = 0.0, shale_mean = 0.0, shale_std = 0.0;
    double corr_length_m = 0.0;
    std::uint64_t seed = 0;
    if (!args.parse(facies, depth_step, sand_mean, sand_std, shale_mean, shale_std, corr_length_m, seed))
        return nullptr;
    auto sand = zk::MomentSpec::create(sand_mean, sand_std);
    if (!sand) return zkpy::to_pyerr(std::move(sand).error());
    auto shale = zk::MomentSpec::create(shale_mean, shale_std);
    if (!shale) return zkpy::to_pyerr(std::move(shale).error());
    auto por = zkpy::without_gil([&] {
        return zk::synth_por_with_facies(facies.value, depth_step, *sand, *shale, corr_length_m, seed);
    });
    return zkpy::to_py(std::move(por));
}
