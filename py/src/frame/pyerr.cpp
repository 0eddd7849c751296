#include "frame/pyerr.hpp"

#include <string>

#include "frame/ref.hpp"

namespace zkpy {

PyObject* to_pyerr(zaviktools::AlgoError error) {
    if (error.kind() == zaviktools::AlgoError::Kind::Interrupted) {
        // The signal handler's exception is already set; keep it.
        if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
        return nullptr;
    }
    if (error.kind() == zaviktools::AlgoError::Kind::OutOfMemory) {
        // This machine's memory, not the arguments: MemoryError, like every
        // other allocation that fails, with the core's text.
        const std::string& text = error.payload();
        Ref msg(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
        if (msg) PyErr_SetObject(PyExc_MemoryError, msg.get());
        return nullptr;
    }
    return raise_value_error(error.display());
}

PyObject* raise_value_error(std::string_view text) {
    Ref msg(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
    if (msg) PyErr_SetObject(PyExc_ValueError, msg.get());
    return nullptr;
}

void note_pending_error(const char* text) {
    if (!PyErr_Occurred()) return;
    PyObject *type, *value, *tb;
    PyErr_Fetch(&type, &value, &tb);
    PyErr_NormalizeException(&type, &value, &tb);
    if (value) {
        Ref done(PyObject_CallMethod(value, "add_note", "s", text));
        if (!done) PyErr_Clear();  // the original error matters more than its note
    }
    PyErr_Restore(type, value, tb);
}

PyObject* panic_exception_type() {
    static PyObject* type = PyErr_NewExceptionWithDoc(
        "zaviktools._zaviktools.PanicException",
        "An invariant of the native code was broken. Derives from BaseException so\n"
        "that `except Exception` does not swallow it.",
        PyExc_BaseException, nullptr);
    return type;
}

PyObject* raise_panic(const char* message) {
    PyObject* type = panic_exception_type();
    if (!type) return nullptr;
    PyErr_SetString(type, (message && *message) ? message : "native code panicked");
    return nullptr;
}

}  // namespace zkpy
