// zaviktools._testhooks: private entry points for the test-suite. They expose
// each argument kind of the framework and the grid crossings on their own.
#include "frame/python.hpp"
#include "frame/ref.hpp"

#define ZK_HOOK(name) extern PyMethodDef zkpy_def_##name;
#include "hooks.def"
#undef ZK_HOOK

namespace {

PyMethodDef* const kHooks[] = {
#define ZK_HOOK(name) &zkpy_def_##name,
#include "hooks.def"
#undef ZK_HOOK
};

int exec_hooks(PyObject* module) {
    zkpy::Ref modname(PyModule_GetNameObject(module));
    if (!modname) return -1;
    for (PyMethodDef* def : kHooks) {
        zkpy::Ref fn(PyCFunction_NewEx(def, module, modname.get()));
        if (!fn || PyModule_AddObjectRef(module, def->ml_name, fn.get()) != 0) return -1;
    }
    return 0;
}

PyModuleDef_Slot kSlots[] = {{Py_mod_exec, reinterpret_cast<void*>(&exec_hooks)}, {0, nullptr}};
PyModuleDef kModule = {PyModuleDef_HEAD_INIT, "_testhooks", "Private test hooks.", 0, nullptr, kSlots,
                       nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit__testhooks() { return PyModuleDef_Init(&kModule); }
