// Shared body of the draw methods of Sampler and Clamped.
#pragma once

#include <cstdint>
#include <variant>

#include "frame/budget.hpp"
#include "frame/classes.hpp"
#include "frame/interrupt.hpp"
#include "frame/result.hpp"
#include "sampling/distributions.hpp"

namespace zkpy {

// A list of n draws could never be built, or not in this machine's memory:
// refuse before drawing anything.
inline bool fail_too_many(const char* what, std::uint64_t n) {
    if (n > static_cast<std::uint64_t>(PY_SSIZE_T_MAX) / sizeof(PyObject*)) {
        PyErr_NoMemory();
        return true;
    }
    // The doubles drawn, then the list of floats.
    return !fits_in_memory(what, {sat_add(sat_mul(n, 8), float_list(n)), 0});
}

// sample($self, rng)
template <class S>
PyObject* draw_one(Args& args) {
    const S& self = self_of<S>(args.self());
    Exclusive<zaviktools::Rng> rng;
    if (!args.parse(rng)) return nullptr;
    return to_py(self.sample(*rng));
}

// sample_n($self, n, rng)
template <class S>
PyObject* draw_n(Args& args, const char* what) {
    const S& self = self_of<S>(args.self());
    std::uint64_t n = 0;
    Exclusive<zaviktools::Rng> rng;
    if (!args.parse(n, rng)) return nullptr;
    if (fail_too_many(what, n)) return nullptr;
    const zaviktools::Rng before = *rng;
    const HeldSignalPoll poll;  // the draws hold the lock
    PyObject* out = to_py(zaviktools::sample_n(self, static_cast<std::size_t>(n), *rng));
    if (!out) *rng = before;  // stopped while drawing or building the list: the stream is untouched
    return out;
}

// sample_n_seeded($self, n, seed)
template <class S>
PyObject* draw_n_seeded(Args& args, const char* what) {
    const S& self = self_of<S>(args.self());
    std::uint64_t n = 0, seed = 0;
    if (!args.parse(n, seed)) return nullptr;
    if (fail_too_many(what, n)) return nullptr;
    const HeldSignalPoll poll;  // the draws hold the lock
    return to_py(zaviktools::sample_n_seeded(self, static_cast<std::size_t>(n), seed));
}

// The stored fields of a sampler: its variant and that variant's parameters.
inline void sampler_fields(const zaviktools::Sampler& s, FieldBytes& k) {
    k.add(s.variant.index());
    std::visit([&](const auto& v) { k.add_doubles(v); }, s.variant);
}

inline void clamped_fields(const zaviktools::Clamped& c, FieldBytes& k) {
    sampler_fields(c.inner, k);
    k.add(c.lo, c.hi);
}

// "Name(" + debug rendering + ")"
template <class S>
PyObject* debug_repr(PyObject* self, const char* name) {
    return guarded([&]() -> PyObject* { return to_py(name + ("(" + self_of<S>(self).debug() + ")")); });
}

}  // namespace zkpy
