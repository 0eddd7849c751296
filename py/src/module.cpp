// Module root: multi-phase initialisation and the registration table.
#include "frame/python.hpp"
#include "frame/registry.hpp"

#define ZK_REG_CLASS(Name) PyObject* zkpy_class_##Name();
#define ZK_REG_FUNCTION(name) extern PyMethodDef zkpy_def_##name;
#include "registry.def"
#undef ZK_REG_CLASS
#undef ZK_REG_FUNCTION

// The package version, from pyproject.toml through the build.
#ifndef ZK_VERSION
#error "ZK_VERSION is defined by the build (CMakeLists.txt reads it from pyproject.toml)"
#endif

namespace {

const zkpy::Registration kTable[] = {
#define ZK_REG_CLASS(Name) {#Name, &zkpy_class_##Name, nullptr},
#define ZK_REG_FUNCTION(name) {#name, nullptr, &zkpy_def_##name},
#include "registry.def"
#undef ZK_REG_CLASS
#undef ZK_REG_FUNCTION
};

int exec_module(PyObject* module) {
    if (!zkpy::check_module(module)) return -1;
    if (PyModule_AddStringConstant(module, "__version__", ZK_VERSION) != 0) return -1;
    return zkpy::register_names(module, kTable);
}

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "_zaviktools",
    "The compiled extension module (`zaviktools._zaviktools`); re-exported by the\n"
    "`zaviktools` Python package's `__init__`.",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__zaviktools() { return PyModuleDef_Init(&kModule); }
