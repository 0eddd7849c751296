#include "frame/convert.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "frame/ref.hpp"

namespace zkpy {

// The name a message shows for a type: heap types (this module's classes,
// classes defined in Python) by their bare name, "Variogram"; static types as
// CPython prints them, "dict", "numpy.bool".
const char* short_type_name(PyTypeObject* tp) {
    const char* name = tp->tp_name;
    if (!(tp->tp_flags & Py_TPFLAGS_HEAPTYPE)) return name;
    const char* dot = std::strrchr(name, '.');
    return dot ? dot + 1 : name;
}

bool fail_not_instance(PyObject* o, const char* expected) {
    PyErr_Format(PyExc_TypeError, "'%s' object is not an instance of '%s'", short_type_name(Py_TYPE(o)), expected);
    return false;
}

bool fail_str_as_sequence() {
    PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
    return false;
}

bool from_py(PyObject* o, double& out) {
    if (PyFloat_CheckExact(o)) {
        out = PyFloat_AS_DOUBLE(o);
        return true;
    }
    out = PyFloat_AsDouble(o);
    return !(out == -1.0 && PyErr_Occurred());
}

bool from_py(PyObject* o, std::uint64_t& out) {
    Ref idx(PyNumber_Index(o));  // floats fail here with TypeError
    if (!idx) return false;
    unsigned long long v = PyLong_AsUnsignedLongLong(idx.get());
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    out = v;
    return true;
}

bool from_py(PyObject* o, std::int64_t& out) {
    Ref idx(PyNumber_Index(o));
    if (!idx) return false;
    long long v = PyLong_AsLongLong(idx.get());
    if (v == -1 && PyErr_Occurred()) return false;
    out = v;
    return true;
}

bool from_py(PyObject* o, bool& out) {
    if (o == Py_True || o == Py_False) {
        out = (o == Py_True);
        return true;
    }
    return fail_not_instance(o, "bool");
}

bool from_py(PyObject* o, std::string& out) {
    if (!PyUnicode_Check(o)) return fail_not_instance(o, "str");
    Py_ssize_t n = 0;
    const char* s = PyUnicode_AsUTF8AndSize(o, &n);
    if (!s) return false;
    out.assign(s, static_cast<std::size_t>(n));
    return true;
}

bool from_py(PyObject* o, BytesArg& out) {
    if (!PyBytes_Check(o)) return fail_not_instance(o, "bytes");
    out.data = PyBytes_AsString(o);
    out.size = static_cast<std::size_t>(PyBytes_Size(o));
    return true;
}

std::size_t reserve_hint(PyObject* o) {
    constexpr Py_ssize_t kMaxReserve = Py_ssize_t{1} << 16;
    Py_ssize_t hint = PyObject_LengthHint(o, 0);
    if (hint < 0) {
        PyErr_Clear();
        return 0;
    }
    return static_cast<std::size_t>(hint < kMaxReserve ? hint : kMaxReserve);
}

namespace {

bool native_f64_format(const char* f) {
    if (!f) return false;
    if (f[0] == '@' || f[0] == '=' || f[0] == '<') ++f;  // this build is little-endian
    return f[0] == 'd' && f[1] == '\0';
}

// One block copy out of a 1-D C-contiguous float64 buffer. Returns false (with
// no error set) when the object is not such a buffer.
bool try_f64_buffer(PyObject* o, std::vector<double>& out) {
    if (PyBytes_Check(o) || PyByteArray_Check(o) || !PyObject_CheckBuffer(o)) return false;
    Py_buffer view;
    if (PyObject_GetBuffer(o, &view, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) != 0) {
        PyErr_Clear();
        return false;
    }
    const bool ok = view.ndim == 1 && view.itemsize == 8 && native_f64_format(view.format);
    if (ok && reinterpret_cast<std::uintptr_t>(view.buf) % alignof(double) == 0) {
        const double* first = static_cast<const double*>(view.buf);
        out.assign(first, first + view.len / 8);  // one pass: no zero fill before the copy
    } else if (ok) {
        out.resize(static_cast<std::size_t>(view.len / 8));
        if (view.len > 0) std::memcpy(out.data(), view.buf, static_cast<std::size_t>(view.len));
    }
    PyBuffer_Release(&view);
    return ok;
}

}  // namespace

bool from_py(PyObject* o, std::vector<double>& out) {
    if (PyUnicode_Check(o)) return fail_str_as_sequence();
    if (PyList_CheckExact(o) || PyTuple_CheckExact(o)) {
        // Indexed each step (not through a cached item array) because an
        // element's __float__ may run code that resizes the list.
        const bool is_list = PyList_CheckExact(o);
        out.clear();
        out.reserve(static_cast<std::size_t>(Py_SIZE(o)));
        SignalCheck stop(1);  // a long list stops on Ctrl-C, asked between runs of 4096
        for (Py_ssize_t i = 0; i < Py_SIZE(o);) {
            if (i > 0 && stop()) return false;
            Py_ssize_t end = std::min(Py_SIZE(o), i + 4096);
            for (; i < end; ++i) {
                PyObject* item = is_list ? PyList_GET_ITEM(o, i) : PyTuple_GET_ITEM(o, i);
                if (PyFloat_CheckExact(item)) {
                    out.push_back(PyFloat_AS_DOUBLE(item));
                    continue;
                }
                Py_INCREF(item);
                double v = 0.0;
                const bool ok = from_py(item, v);
                Py_DECREF(item);
                if (!ok) return false;
                out.push_back(v);
                end = std::min(end, Py_SIZE(o));
            }
        }
        return true;
    }
    if (try_f64_buffer(o, out)) return true;
    return from_py<double>(o, out);
}

bool point_from_py(PyObject* o, double* out, Py_ssize_t n) {
    if (PyUnicode_Check(o)) return fail_str_as_sequence();
    if (!PySequence_Check(o)) return fail_not_instance(o, "Sequence");
    Py_ssize_t len = PySequence_Size(o);
    if (len < 0) return false;
    if (len != n) {
        PyErr_Format(PyExc_ValueError, "expected a sequence of length %zd (got %zd)", n, len);
        return false;
    }
    for (Py_ssize_t i = 0; i < n; ++i) {
        Ref item(PySequence_GetItem(o, i));
        if (!item || !from_py(item.get(), out[i])) return false;
    }
    return true;
}

namespace {

// The common length of the rows of `o`, or -1 when `o` is not a sequence of
// equal-length sequences. Clears any error it causes.
Py_ssize_t common_row_length(PyObject* o, Py_ssize_t rows) {
    Py_ssize_t common = -1;
    for (Py_ssize_t i = 0; i < rows; ++i) {
        Ref row(PySequence_GetItem(o, i));
        const Py_ssize_t len = row && PySequence_Check(row.get()) && !PyUnicode_Check(row.get())
                                   ? PySequence_Size(row.get()) : -1;
        if (len < 0 || (common >= 0 && len != common)) {
            PyErr_Clear();
            return -1;
        }
        common = len;
    }
    return common;
}

}  // namespace

void hint_transposed(PyObject* o, Py_ssize_t n) {
    if (!PyErr_ExceptionMatches(PyExc_ValueError) || PyUnicode_Check(o) || !PySequence_Check(o)) return;
    PyObject *type, *value, *tb;
    PyErr_Fetch(&type, &value, &tb);
    const Py_ssize_t rows = PySequence_Size(o);
    const Py_ssize_t m = rows == n ? common_row_length(o, rows) : -1;
    PyErr_Clear();
    if (m < 0 || m == n) {
        PyErr_Restore(type, value, tb);
        return;
    }
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(tb);
    PyErr_Format(PyExc_ValueError,
                 "expected a sequence of length %zd (got %zd): rows of %zd values are expected, and this "
                 "(%zd, %zd) input looks transposed",
                 n, m, n, n, m);
}

}  // namespace zkpy
