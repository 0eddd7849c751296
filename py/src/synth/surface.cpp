// synth_isochore, synth_trend_map, synth_dome_surface and their flat twins.
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "foundation/lattice.hpp"
#include "frame/budget.hpp"
#include "frame/classes.hpp"
#include "frame/gil.hpp"
#include "frame/ref.hpp"
#include "frame/result.hpp"
#include "frame/grid.hpp"
#include "synth/surface.hpp"

namespace zk = zaviktools;

namespace zkpy {

// The `correlate_with` argument: a 2-sequence (field, rho), the field nested lists.
struct CorrelateWith {
    std::vector<std::vector<double>> field;
    double rho = 0.0;
};

bool from_py(PyObject* o, CorrelateWith& out) {
    if (PyUnicode_Check(o)) return fail_str_as_sequence();
    if (!PySequence_Check(o)) return fail_not_instance(o, "Sequence");
    const Py_ssize_t len = PySequence_Size(o);
    if (len < 0) return false;
    if (len != 2) {
        PyErr_Format(PyExc_ValueError, "expected a sequence of length 2 (got %zd)", len);
        return false;
    }
    Ref field(PySequence_GetItem(o, 0));
    if (!field || !from_py(field.get(), out.field)) return false;
    Ref rho(PySequence_GetItem(o, 1));
    return rho && from_py(rho.get(), out.rho);
}

}  // namespace zkpy

namespace {

// The entry point's name and result form.
struct Output {
    const char* name;
    bool flat;
};

// The unconditional simulation's field and working storage (about 64 bytes a
// node, as in sgs) and the surface built from it: 72 bytes a node, then the result.
bool surface_fits(const Output& out, const zk::Lattice& lat) {
    return zkpy::lattice_fits(out.name, lat.ncol(), lat.nrow(), 72, 1, out.flat);
}

// Runs `compute` on native copies with the lock released; the field, or
// nothing with the Python error set.
template <class F>
std::optional<zk::Field> released(F&& compute) {
    return zkpy::value_or_raise(zkpy::without_gil(std::forward<F>(compute)));
}

std::optional<zk::Field> isochore_call(zkpy::Args& args, const Output& out) {
    zkpy::Instance<zk::Lattice> lattice;
    double mean_thickness = 0.0, variability = 0.0;
    zkpy::Instance<zk::Variogram> variogram;
    std::uint64_t seed = 0;
    if (!args.parse(lattice, mean_thickness, variability, variogram, seed)) return std::nullopt;
    const zk::Lattice lat = *lattice;
    const zk::Variogram vg = *variogram;
    if (!surface_fits(out, lat)) return std::nullopt;
    return released([&] { return zk::synth_isochore(lat, mean_thickness, variability, vg, seed); });
}

std::optional<zk::Field> trend_call(zkpy::Args& args, const Output& out) {
    zkpy::Instance<zk::Lattice> lattice;
    zkpy::Instance<zk::Variogram> variogram;
    std::uint64_t seed = 0;
    std::optional<zkpy::CorrelateWith> correlate_with;
    if (!args.parse(lattice, variogram, seed, correlate_with)) return std::nullopt;
    const zk::Lattice lat = *lattice;
    const zk::Variogram vg = *variogram;
    std::optional<zk::Field> other;
    if (correlate_with) {
        other = zkpy::to_array2(correlate_with->field, lat.ncol(), lat.nrow());  // its shape error comes first
        if (!other) return std::nullopt;
        correlate_with->field = {};
    }
    if (!surface_fits(out, lat)) return std::nullopt;
    const zk::TrendCorrelation correlation{other ? &*other : nullptr, correlate_with ? correlate_with->rho : 0.0};
    return released([&] { return zk::synth_trend_map(lat, vg, seed, other ? &correlation : nullptr); });
}

std::optional<zk::Field> dome_call(zkpy::Args& args, const Output& out) {
    zkpy::Instance<zk::Lattice> lattice;
    double relief = 0.0, aspect = 0.0, tilt = 0.0, noise_variance = 0.0;
    zkpy::Instance<zk::Variogram> noise_variogram;
    std::uint64_t seed = 0;
    if (!args.parse(lattice, relief, aspect, tilt, noise_variance, noise_variogram, seed)) return std::nullopt;
    auto noise = zkpy::value_or_raise(zk::NoiseSpec::create(noise_variance, *noise_variogram));
    if (!noise) return std::nullopt;
    const zk::Lattice lat = *lattice;
    if (!surface_fits(out, lat)) return std::nullopt;
    return released([&] { return zk::synth_dome_surface(lat, relief, aspect, tilt, *noise, seed); });
}

PyObject* nested(const std::optional<zk::Field>& field) { return field ? zkpy::rows(*field) : nullptr; }
PyObject* flat(const std::optional<zk::Field>& field) { return field ? zkpy::to_flat(*field) : nullptr; }

}  // namespace

#define ZK_FLAT_DOC_ "(little-endian `f64`, `field[col][row]`) instead of a boxed nested list."

ZK_FUNCTION(synth_dome_surface,
            "synth_dome_surface(lattice, relief, aspect, tilt, noise_variance, noise_variogram, seed)",
            "A synthetic dome structure on `lattice`: an elliptical four-way closure of\n"
            "amplitude `relief`, elongation `aspect`, a regional `tilt`, and correlated\n"
            "noise (`noise_variance` amplitude², continuity `noise_variogram`; variance `0`\n"
            "⇒ none). Returns the `ncol × nrow` relief field (crest = max) as nested lists.") {
    return nested(dome_call(args, {"synth_dome_surface", false}));
}

ZK_FUNCTION(synth_dome_surface_flat,
            "synth_dome_surface_flat(lattice, relief, aspect, tilt, noise_variance, noise_variogram, seed)",
            "Flat crossing of [`synth_dome_surface`]: `(field_bytes, (ncol, nrow))`\n" ZK_FLAT_DOC_) {
    return flat(dome_call(args, {"synth_dome_surface_flat", true}));
}

ZK_FUNCTION(synth_isochore, "synth_isochore(lattice, mean_thickness, variability, variogram, seed)",
            "A synthetic isochore (thickness map) on `lattice`: a correlated field about\n"
            "`mean_thickness` with std `variability` and continuity `variogram`, clamped at\n"
            "zero. Returns the `ncol × nrow` field as nested lists. Seeded/reproducible.") {
    return nested(isochore_call(args, {"synth_isochore", false}));
}

ZK_FUNCTION(synth_isochore_flat, "synth_isochore_flat(lattice, mean_thickness, variability, variogram, seed)",
            "Flat crossing of [`synth_isochore`]: `(field_bytes, (ncol, nrow))`\n" ZK_FLAT_DOC_) {
    return flat(isochore_call(args, {"synth_isochore_flat", true}));
}

ZK_FUNCTION(synth_trend_map, "synth_trend_map(lattice, variogram, seed, correlate_with=None)",
            "A depositional trend map on `lattice`: a correlated field mapped to `[0,1]`\n"
            "(Uniform marginal). With `correlate_with = (field, rho)` the trend is built to\n"
            "correlate with `field` (nested lists, `ncol × nrow`) at ~`rho ∈ [-1,1]`.\n"
            "Returns the `ncol × nrow` trend as nested lists. Seeded/reproducible.") {
    return nested(trend_call(args, {"synth_trend_map", false}));
}

ZK_FUNCTION(synth_trend_map_flat, "synth_trend_map_flat(lattice, variogram, seed, correlate_with=None)",
            "Flat crossing of [`synth_trend_map`]: `(field_bytes, (ncol, nrow))`\n" ZK_FLAT_DOC_
            "\n`correlate_with` (if given) is still a nested list (rare path).") {
    return flat(trend_call(args, {"synth_trend_map_flat", true}));
}
