// Typed conversion of one Python argument into a native value.
//
// `from_py(obj, out)` returns false with a Python exception set on failure.
// The argument parser re-words TypeErrors and OverflowErrors as
// "argument 'name': ..." (keeping their type); the ValueError of a
// wrong-length point passes through unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "frame/interrupt.hpp"
#include "frame/python.hpp"

namespace zkpy {

// "'dict' object is not an instance of 'Lattice'"
bool fail_not_instance(PyObject* o, const char* expected);
// "Can't extract `str` to `Vec`"
bool fail_str_as_sequence();

bool from_py(PyObject* o, double& out);
bool from_py(PyObject* o, std::uint64_t& out);  // counts, sizes, seeds
bool from_py(PyObject* o, std::int64_t& out);
bool from_py(PyObject* o, bool& out);            // True / False only
bool from_py(PyObject* o, std::string& out);     // str, as UTF-8
bool from_py(PyObject* o, std::vector<double>& out);  // with the float64 buffer fast path

// Any object, borrowed for the call as is: for an argument whose kind is
// decided once every argument is converted (a Variogram or an
// AnisotropicVariogram, say).
struct AnyObject {
    PyObject* obj = nullptr;
};
inline bool from_py(PyObject* o, AnyObject& out) {
    out.obj = o;
    return true;
}

// A `bytes` argument, borrowed: valid for as long as the argument object lives
// (bytes are immutable, so it may be read with the lock released).
struct BytesArg {
    const char* data = nullptr;
    std::size_t size = 0;
};
bool from_py(PyObject* o, BytesArg& out);

// A dict with str keys (frame/dict.hpp), declared here so the templates
// below find it.
template <class T, class Cmp>
bool from_py(PyObject* o, std::map<std::string, T, Cmp>& out);

template <class T>
bool from_py(PyObject* o, std::optional<T>& out) {
    if (o == Py_None) {
        out.reset();
        return true;
    }
    T value{};
    if (!from_py(o, value)) return false;
    out = std::move(value);
    return true;
}

// Fixed-length point [x, y] or [x, y, z].
bool point_from_py(PyObject* o, double* out, Py_ssize_t n);
template <std::size_t N>
bool from_py(PyObject* o, std::array<double, N>& out) {
    return point_from_py(o, out.data(), static_cast<Py_ssize_t>(N));
}

// What to reserve up front for a sequence: its length hint, capped, since
// `__len__` may overstate (or raise); the vector grows as items arrive.
std::size_t reserve_hint(PyObject* o);

// Any sequence except str, element by element, in iteration order.
template <class T>
bool from_py(PyObject* o, std::vector<T>& out) {
    if (PyUnicode_Check(o)) return fail_str_as_sequence();
    if (!PySequence_Check(o)) return fail_not_instance(o, "Sequence");
    out.clear();
    out.reserve(reserve_hint(o));
    PyObject* it = PyObject_GetIter(o);
    if (!it) return false;
    SignalCheck stop(256);  // a long sequence stops on Ctrl-C
    while (PyObject* item = PyIter_Next(it)) {
        T value{};
        const bool ok = !stop() && from_py(item, value);
        Py_DECREF(item);
        if (!ok) {
            Py_DECREF(it);
            return false;
        }
        out.push_back(std::move(value));
    }
    Py_DECREF(it);
    return !PyErr_Occurred();
}

// Rows of N numbers. When the rows fail their length and the input is N rows
// of M != N values, the message adds that it looks transposed: a (3, n)
// array passed where n rows [x, y, z] are expected.
void hint_transposed(PyObject* o, Py_ssize_t n);
template <std::size_t N>
bool from_py(PyObject* o, std::vector<std::array<double, N>>& out) {
    if (from_py<std::array<double, N>>(o, out)) return true;
    hint_transposed(o, static_cast<Py_ssize_t>(N));
    return false;
}

}  // namespace zkpy
