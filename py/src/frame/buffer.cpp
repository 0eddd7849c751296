#include "frame/buffer.hpp"

#include <bit>
#include <cstring>
#include <string>

#include "frame/convert.hpp"

namespace zkpy {

static_assert(std::endian::native == std::endian::little, "flat buffers are read as native little-endian doubles");

namespace {

// The item format of a buffer, with a byte-order prefix that means native
// order on this (little-endian) build stripped.
std::string item_format(const Py_buffer& view) {
    const char* f = view.format ? view.format : "B";
    if (f[0] == '@' || f[0] == '=' || f[0] == '<') ++f;
    return f;
}

}  // namespace

bool from_py(PyObject* o, F64Buffer& out) {
    if (!PyObject_CheckBuffer(o)) return fail_not_instance(o, "buffer");
    Py_buffer view;
    if (PyObject_GetBuffer(o, &view, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) != 0) {
        // BufferError, or numpy's ValueError: the exporter cannot offer a
        // C-contiguous view.
        if (!PyErr_ExceptionMatches(PyExc_BufferError) && !PyErr_ExceptionMatches(PyExc_ValueError)) return false;
        PyErr_Clear();
        PyErr_SetString(PyExc_TypeError, "expected float64 values, got a buffer that is not C-contiguous");
        return false;
    }
    const std::string format = item_format(view);
    const bool doubles = format == "d" && view.itemsize == 8;
    const bool raw = (format == "B" || format == "b" || format == "c") && view.itemsize == 1;
    bool ok = doubles || raw;
    if (!ok) {
        PyErr_Format(PyExc_TypeError, "expected float64 values, got a buffer of format '%s'", format.c_str());
    } else if (view.len % 8 != 0) {
        PyErr_Format(PyExc_ValueError, "a buffer of %zd bytes is not a whole number of float64 values", view.len);
        ok = false;
    } else {
        try {
            out.values.resize(static_cast<std::size_t>(view.len) / 8);
        } catch (...) {
            PyBuffer_Release(&view);
            throw;
        }
        if (view.len > 0) std::memcpy(out.values.data(), view.buf, static_cast<std::size_t>(view.len));
    }
    PyBuffer_Release(&view);
    return ok;
}

bool check_rows(const F64Buffer& buffer, std::size_t width, const char* what) {
    if (buffer.values.size() % width == 0) return true;
    PyErr_Format(PyExc_ValueError, "%s: %zu values are not whole rows of %zu", what, buffer.values.size(), width);
    return false;
}

PyObject* to_bytearray(std::span<const double> values) {
    return PyByteArray_FromStringAndSize(reinterpret_cast<const char*>(values.data()),
                                         static_cast<Py_ssize_t>(values.size_bytes()));
}

PyObject* to_bytearray(std::span<const std::uint8_t> bytes) {
    return PyByteArray_FromStringAndSize(reinterpret_cast<const char*>(bytes.data()),
                                         static_cast<Py_ssize_t>(bytes.size()));
}

}  // namespace zkpy
