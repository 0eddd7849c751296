#include "frame/registry.hpp"

#include "frame/ref.hpp"
#include "frame/pyerr.hpp"

namespace zkpy {

bool check_module(PyObject* module) {
    if (PyModule_Check(module)) return true;
    PyErr_SetString(PyExc_TypeError, "module exec slot received a non-module object");
    return false;
}

int register_names(PyObject* module, std::span<const Registration> table) {
    // The panic class exists before any entry point can need it.
    if (!panic_exception_type()) return -1;
    Ref modname(PyModule_GetNameObject(module));
    if (!modname) return -1;
    for (const Registration& entry : table) {
        Ref obj(entry.make_class ? entry.make_class() : PyCFunction_NewEx(entry.function, module, modname.get()));
        if (!obj) return -1;
        if (PyModule_AddObjectRef(module, entry.name, obj.get()) != 0) return -1;
    }
    return 0;
}

}  // namespace zkpy
