#include "frame/dict.hpp"

namespace zkpy {

PyObject* str_keyed_items(PyObject* o) {
    if (!PyDict_Check(o)) {
        fail_not_instance(o, "dict");
        return nullptr;
    }
    Ref items(PyDict_Items(o));
    if (!items) return nullptr;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
        PyObject* key = PyTuple_GET_ITEM(PyList_GET_ITEM(items.get(), i), 0);
        if (!PyUnicode_Check(key)) {
            PyErr_Format(PyExc_TypeError, "dict keys must be str, got '%s'", Py_TYPE(key)->tp_name);
            return nullptr;
        }
    }
    return items.release();
}

void reword_value_error(PyObject* key) {
    PyObject* kind = PyErr_ExceptionMatches(PyExc_TypeError)       ? PyExc_TypeError
                     : PyErr_ExceptionMatches(PyExc_OverflowError) ? PyExc_OverflowError
                                                                   : nullptr;
    if (!kind) return;
    PyObject *type, *value, *tb;
    PyErr_Fetch(&type, &value, &tb);
    PyErr_NormalizeException(&type, &value, &tb);
    Ref text(value ? PyObject_Str(value) : nullptr);
    if (!text) {
        PyErr_Clear();
        text = Ref(PyUnicode_FromString("invalid value"));
    }
    if (text) PyErr_Format(kind, "value for key %R: %U", key, text.get());
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(tb);
}

}  // namespace zkpy
