// A second extension module of the package has its own class slots; pointing
// one at the public module's class lets the shared extraction code
// (Instance<T>, extract_spatial_variogram) recognise that class's instances
// there too. Both modules are built from the same frame and core, so the
// instance layout (Box<T>) is the same.
#pragma once

#include "frame/classes.hpp"
#include "frame/python.hpp"

namespace zkpy {

// Adopts `module.name` as the class of T; false with the error set when the
// module has no such attribute or it is not a type.
template <class T>
bool adopt_class(PyObject* module, const char* name) {
    if (ClassSlot<T>::type) return true;
    PyObject* tp = PyObject_GetAttrString(module, name);  // reference kept for the process
    if (!tp) return false;
    if (!PyType_Check(tp)) {
        Py_DECREF(tp);
        PyErr_Format(PyExc_TypeError, "'%s' of the public module is not a class", name);
        return false;
    }
    ClassSlot<T>::type = reinterpret_cast<PyTypeObject*>(tp);
    ClassSlot<T>::name = name;
    return true;
}

// Adopts the public module's Lattice, Variogram and AnisotropicVariogram (the
// classes the other modules' functions take); false with the error set.
bool adopt_public_classes();

}  // namespace zkpy
