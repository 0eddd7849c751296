// zaviktools._study: the native kernels of the study layer. Flat float64
// buffers in, bytearrays out, no array library needed; the zaviktools
// package wraps them for numpy. It takes the Lattice and variogram instances
// of zaviktools._zaviktools, whose classes it adopts at import.
#include "frame/adopt.hpp"
#include "frame/python.hpp"
#include "frame/registry.hpp"

#define ZK_REG_CLASS(Name) PyObject* zkpy_class_##Name();
#define ZK_REG_FUNCTION(name) extern PyMethodDef zkpy_def_##name;
#include "registry.def"
#undef ZK_REG_CLASS
#undef ZK_REG_FUNCTION


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
    if (!zkpy::adopt_public_classes()) return -1;
    return zkpy::register_names(module, kTable);
}

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "_study",
    "Native kernels of the study layer (`zaviktools._study`): flat float64\n"
    "buffers in, bytearrays out. The `zaviktools` package wraps them for numpy.",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__study() { return PyModuleDef_Init(&kModule); }
