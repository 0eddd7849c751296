// A `dict` (or subclass) with `str` keys into a native name-keyed map.
//
// The items are snapshotted first, so a value's conversion code (__float__,
// __iter__) that mutates the dict cannot disturb the walk. A TypeError or
// OverflowError from a value is re-worded "value for key 'k': ..."; the
// argument parser then adds "argument 'name': ".
#pragma once

#include <map>
#include <string>

#include "frame/convert.hpp"
#include "frame/python.hpp"
#include "frame/ref.hpp"

namespace zkpy {

// Checks `o` and returns a new list of its (key, value) items, or nullptr
// with a TypeError set.
PyObject* str_keyed_items(PyObject* o);
// Adds the key to a pending TypeError or OverflowError raised while
// converting its value.
void reword_value_error(PyObject* key);

template <class T, class Cmp>
bool from_py(PyObject* o, std::map<std::string, T, Cmp>& out) {
    Ref items(str_keyed_items(o));
    if (!items) return false;
    out.clear();
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
        PyObject* pair = PyList_GET_ITEM(items.get(), i);
        PyObject* key = PyTuple_GET_ITEM(pair, 0);
        std::string name;
        if (!from_py(key, name)) return false;
        T value{};
        if (!from_py(PyTuple_GET_ITEM(pair, 1), value)) {
            reword_value_error(key);
            return false;
        }
        out.insert_or_assign(std::move(name), std::move(value));
    }
    return true;
}

}  // namespace zkpy
