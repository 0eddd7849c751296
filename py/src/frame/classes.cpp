#include "frame/classes.hpp"

#include "frame/ref.hpp"

namespace zkpy {

PyObject* create_type(const ClassDef& def, int basicsize, destructor dealloc) {
    std::vector<PyType_Slot> slots;
    slots.push_back({Py_tp_dealloc, reinterpret_cast<void*>(dealloc)});
    slots.push_back({Py_tp_doc, const_cast<char*>(def.doc)});
    if (def.tp_new) slots.push_back({Py_tp_new, reinterpret_cast<void*>(def.tp_new)});
    if (def.methods) slots.push_back({Py_tp_methods, def.methods});
    if (def.getset) slots.push_back({Py_tp_getset, def.getset});
    if (def.repr) slots.push_back({Py_tp_repr, reinterpret_cast<void*>(def.repr)});
    for (const PyType_Slot& s : def.extra) slots.push_back(s);
    slots.push_back({0, nullptr});

    unsigned int flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE;
    if (!def.tp_new) flags |= Py_TPFLAGS_DISALLOW_INSTANTIATION;
    PyType_Spec spec{def.qualified_name, basicsize, 0, flags, slots.data()};
    return PyType_FromSpec(&spec);
}

PyObject* call_with_tuple(FastFn fn, PyObject* args, PyObject* kwargs) {
    const Py_ssize_t npos = PyTuple_GET_SIZE(args);
    const Py_ssize_t nkw = kwargs ? PyDict_GET_SIZE(kwargs) : 0;
    std::vector<PyObject*> stack(static_cast<std::size_t>(npos + nkw) + 1);
    for (Py_ssize_t i = 0; i < npos; ++i) stack[static_cast<std::size_t>(i)] = PyTuple_GET_ITEM(args, i);
    Ref kwnames;
    if (nkw > 0) {
        kwnames = Ref(PyTuple_New(nkw));
        if (!kwnames) return nullptr;
        Py_ssize_t pos = 0, k = 0;
        PyObject *key, *value;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            Py_INCREF(key);
            PyTuple_SET_ITEM(kwnames.get(), k, key);
            stack[static_cast<std::size_t>(npos + k)] = value;
            ++k;
        }
    }
    return fn(nullptr, stack.data(), npos, kwnames.get());
}

}  // namespace zkpy
