// Native results into new Python objects. Every function returns a new
// reference, or nullptr with a Python exception set.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/error.hpp"
#include "frame/interrupt.hpp"
#include "frame/python.hpp"
#include "frame/ref.hpp"
#include "frame/pyerr.hpp"

namespace zkpy {

inline PyObject* to_py(double v) { return PyFloat_FromDouble(v); }
inline PyObject* to_py(bool v) { return PyBool_FromLong(v ? 1 : 0); }
inline PyObject* to_py(std::uint64_t v) { return PyLong_FromUnsignedLongLong(v); }
inline PyObject* to_py(std::int64_t v) { return PyLong_FromLongLong(v); }
inline PyObject* to_py(int v) { return PyLong_FromLong(v); }
inline PyObject* to_py(const std::string& s) {
    return PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
}
inline PyObject* to_py(const char* s) { return PyUnicode_FromString(s); }
// An object already built (new reference) passes through.
inline PyObject* to_py(PyObject* owned) { return owned; }

template <class T>
PyObject* to_py(const std::vector<T>& v);
inline PyObject* to_py(const std::vector<double>& v);
template <class T, std::size_t N>
PyObject* to_py(const std::array<T, N>& v);
template <class... T>
PyObject* to_py(const std::tuple<T...>& t);

// A new list of n empty slots, hidden from the collector until it is full:
// the signal handlers a Ctrl-C poll runs may walk the collector's objects
// (gc.get_objects), and must never meet an empty slot. Show it with
// PyObject_GC_Track once every slot is filled.
inline PyObject* new_hidden_list(std::size_t n) {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(n));
    if (list) PyObject_GC_UnTrack(list);
    return list;
}

// A new list holding to_py of each element, in order. A long list stops on
// Ctrl-C (the signal's exception is set).
template <class Seq>
PyObject* list_of(const Seq& seq) {
    PyObject* list = new_hidden_list(std::size(seq));
    if (!list) return nullptr;
    auto step = [&](std::size_t k) {
        PyObject* item = to_py(seq[k]);
        if (item) PyList_SET_ITEM(list, static_cast<Py_ssize_t>(k), item);
        return item != nullptr;
    };
    constexpr std::size_t kChunk = 1024;
    bool built = true;
    if (std::size(seq) <= kChunk) {  // short (a point, a row): not even the check is set up
        for (std::size_t k = 0; built && k < std::size(seq); ++k) built = step(k);
    } else {
        SignalCheck stop(1);
        built = zaviktools::run_chunked(stop, std::size(seq), kChunk, step);
    }
    if (!built) {
        Py_DECREF(list);
        return nullptr;
    }
    PyObject_GC_Track(list);
    return list;
}

// The floats lately made for one list, by a hash of their bits: a value
// equal bit for bit to one of them shares its float (floats are immutable).
// Each float here is held by a slot of that list (or of the lists one
// result is made of), which nothing else touches while they are filled. An
// entry shared since it last met another value keeps its place once more,
// so that values met once in between (the continuous part of a clipped
// output) do not evict the few that repeat.
struct RecentFloats {
    static constexpr unsigned kShift = 60;  // 16 entries
    std::uint64_t bits[std::size_t{1} << (64 - kShift)];
    PyObject* made[std::size_t{1} << (64 - kShift)] = {};
    bool shared[std::size_t{1} << (64 - kShift)] = {};
};

// A float of `v` (a new reference): the recent one of the same bits, or a
// new one, which then takes the place of an entry not shared since it was
// last passed over. nullptr with MemoryError set when a float cannot be made.
inline PyObject* recent_float(double v, RecentFloats& recent) {
    const auto b = std::bit_cast<std::uint64_t>(v);
    const auto h = static_cast<std::size_t>((b * 0x9e3779b97f4a7c15ull) >> RecentFloats::kShift);
    PyObject* f = recent.made[h];
    if (f != nullptr && recent.bits[h] == b) {
        Py_INCREF(f);
        recent.shared[h] = true;
        return f;
    }
    PyObject* made = PyFloat_FromDouble(v);
    if (made && (f == nullptr || !recent.shared[h])) {
        recent.made[h] = made;
        recent.bits[h] = b;
    }
    recent.shared[h] = false;
    return made;
}

// Floats for v[0 .. n) into slots [at, at + n) of `list`, a list made by
// PyList_New whose slots there are still empty; `recent` serves this list
// only. A list of clipped, flagged or missing values then costs its
// pointers rather than a float each, and is made faster. False with
// MemoryError set when a float cannot be made; the slots filled so far stay
// filled (a partly filled list is still safe to release).
inline bool fill_floats(PyObject* list, Py_ssize_t at, const double* v, std::size_t n, RecentFloats& recent) {
    PyObject** slot = reinterpret_cast<PyListObject*>(list)->ob_item + at;
    for (std::size_t k = 0; k < n; ++k) {
        PyObject* f = recent_float(v[k], recent);
        if (!f) return false;
        slot[k] = f;
    }
    return true;
}

template <class T>
PyObject* to_py(const std::vector<T>& v) {
    return list_of(v);
}

// A list of floats, filled a run at a time; a long one stops on Ctrl-C.
inline PyObject* to_py(const std::vector<double>& v) {
    constexpr std::size_t kRun = 1024;
    PyObject* list = new_hidden_list(v.size());
    if (!list) return nullptr;
    SignalCheck stop(1);
    RecentFloats recent;
    for (std::size_t k = 0; k < v.size(); k += kRun) {
        const std::size_t m = std::min(kRun, v.size() - k);
        if ((k > 0 && stop()) || !fill_floats(list, static_cast<Py_ssize_t>(k), v.data() + k, m, recent)) {
            Py_DECREF(list);
            return nullptr;
        }
    }
    PyObject_GC_Track(list);
    return list;
}

// Points travel as lists: [x, y].
template <class T, std::size_t N>
PyObject* to_py(const std::array<T, N>& v) {
    return list_of(v);
}

template <class... T>
PyObject* to_py(const std::tuple<T...>& t) {
    PyObject* tuple = PyTuple_New(sizeof...(T));
    if (!tuple) return nullptr;
    bool ok = true;
    Py_ssize_t i = 0;
    std::apply(
        [&](const auto&... item) {
            ((ok = ok && [&] {
                  PyObject* o = to_py(item);
                  if (!o) return false;
                  PyTuple_SET_ITEM(tuple, i++, o);
                  return true;
              }()),
             ...);
        },
        t);
    if (!ok) {
        Py_DECREF(tuple);
        return nullptr;
    }
    return tuple;
}

// A core result: the value converted, or the error raised through to_pyerr.
template <class T>
PyObject* to_py(zaviktools::Result<T>&& r) {
    if (!r) return to_pyerr(std::move(r).error());
    return to_py(*r);
}

// Fixed-key result dicts, filled in the order the keys are set.
class DictBuilder {
public:
    DictBuilder() : dict_(PyDict_New()) {}
    template <class T>
    DictBuilder& set(const char* key, const T& value) {
        if (!dict_) return *this;
        Ref v(to_py(value));
        if (!v || PyDict_SetItemString(dict_.get(), key, v.get()) != 0) dict_ = Ref();
        return *this;
    }
    PyObject* build() { return dict_.release(); }
    // Whether a value failed (an error is set): what is left to convert can be skipped.
    bool failed() const { return !dict_; }

private:
    Ref dict_;
};

}  // namespace zkpy
