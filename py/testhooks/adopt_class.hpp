// The hook module has its own class slots; point one at the public module's
// class so the shared extraction code recognises that class's instances here.
#pragma once

#include "frame/classes.hpp"
#include "frame/python.hpp"

namespace zkhooks {

template <class T>
bool adopt_class(PyObject* module, const char* name) {
    if (zkpy::ClassSlot<T>::type) return true;
    PyObject* tp = PyObject_GetAttrString(module, name);  // reference kept for the process
    if (!tp) return false;
    zkpy::ClassSlot<T>::type = reinterpret_cast<PyTypeObject*>(tp);
    zkpy::ClassSlot<T>::name = name;
    return true;
}

}  // namespace zkhooks
