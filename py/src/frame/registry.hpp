// A module's registration table and the exec step that creates its names.
//
//   const zkpy::Registration kTable[] = {{"Lattice", &zkpy_class_Lattice, nullptr}, {"mean", nullptr, &zkpy_def_mean}};
//   int exec_module(PyObject* m) { return zkpy::check_module(m) ? zkpy::register_names(m, kTable) : -1; }
#pragma once

#include <span>

#include "frame/python.hpp"

namespace zkpy {

struct Registration {
    const char* name;
    PyObject* (*make_class)();  // a class entry ...
    PyMethodDef* function;      // ... or a function entry
};

// Whether the exec slot received a module; TypeError otherwise.
bool check_module(PyObject* module);

// Creates the panic class, then each entry of `table` in order, adding it to
// `module`: 0, or -1 with the error set at the first failure (later names
// stay unregistered).
int register_names(PyObject* module, std::span<const Registration> table);

}  // namespace zkpy
