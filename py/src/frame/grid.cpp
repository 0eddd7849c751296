#include "frame/grid.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "frame/interrupt.hpp"
#include "frame/ref.hpp"
#include "frame/pyerr.hpp"
#include "frame/result.hpp"

namespace zkpy {

// The flat form is little-endian f64; on this platform that is the native
// layout, so both directions are single block copies.
static_assert(std::endian::native == std::endian::little, "flat grids assume a little-endian host");
static_assert(sizeof(double) == 8);

namespace zk = zaviktools;

PyObject* rows(const zk::Field& field) {
    const std::size_t ncol = field.ncol();
    const std::size_t nrow = field.nrow();
    Ref outer(new_hidden_list(ncol));  // shown to the collector once full
    if (!outer) return nullptr;
    // A large field stops on Ctrl-C: asked every 4096 values, within a
    // column or across short ones.
    SignalCheck stop(1);
    SignalCheck columns(static_cast<std::uint32_t>(std::max<std::size_t>(1, 4096 / std::max<std::size_t>(1, nrow))));
    RecentFloats recent;  // equal values share a float across the columns
    for (std::size_t i = 0; i < ncol; ++i) {
        if (columns()) return nullptr;
        PyObject* col = new_hidden_list(nrow);
        if (!col) return nullptr;
        PyList_SET_ITEM(outer.get(), static_cast<Py_ssize_t>(i), col);  // owned by outer from here
        const double* v = field.data() + i * nrow;
        const bool built = zk::run_chunked(stop, nrow, 4096, [&](std::size_t j) {
            PyObject* f = recent_float(v[j], recent);
            if (f) PyList_SET_ITEM(col, static_cast<Py_ssize_t>(j), f);
            return f != nullptr;
        });
        if (!built) return nullptr;
        PyObject_GC_Track(col);
    }
    PyObject_GC_Track(outer.get());
    return outer.release();
}

PyObject* to_flat_bytes(const zk::Field& field) {
    const std::size_t n = field.size();
    if (n > static_cast<std::size_t>(PY_SSIZE_T_MAX) / 8) return PyErr_NoMemory();
    PyObject* b = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(n * 8));
    if (!b) return nullptr;
    if (n > 0) std::memcpy(PyBytes_AS_STRING(b), field.data(), n * 8);
    return b;
}

namespace {
PyObject* shape_tuple(const zk::Field& field) {
    return Py_BuildValue("(KK)", static_cast<unsigned long long>(field.ncol()),
                         static_cast<unsigned long long>(field.nrow()));
}
}  // namespace

PyObject* to_flat(const zk::Field& field) {
    Ref bytes(to_flat_bytes(field));
    if (!bytes) return nullptr;
    Ref shape(shape_tuple(field));
    if (!shape) return nullptr;
    return PyTuple_Pack(2, bytes.get(), shape.get());
}

PyObject* to_flat_pair(const zk::Field& first, const zk::Field& second) {
    if (first.ncol() != second.ncol() || first.nrow() != second.nrow()) {
        PyErr_SetString(PyExc_SystemError, "flat field pair of different shapes");
        return nullptr;
    }
    Ref a(to_flat_bytes(first));
    if (!a) return nullptr;
    Ref b(to_flat_bytes(second));
    if (!b) return nullptr;
    Ref shape(shape_tuple(first));
    if (!shape) return nullptr;
    return PyTuple_Pack(3, a.get(), b.get(), shape.get());
}

std::optional<zk::Field> from_flat(const BytesArg& buffer, std::size_t ncol, std::size_t nrow) {
    const auto n = zk::field_node_count(ncol, nrow);
    if (!n) {
        raise_value_error("flat grid shape overflow");
        return std::nullopt;
    }
    const std::size_t expected = *n * 8;  // n <= 2^61 - 1, so this cannot wrap
    if (buffer.size != expected) {
        const std::string msg = "flat grid is " + std::to_string(buffer.size) + " bytes, expected " +
                                std::to_string(ncol) + "\u00d7" + std::to_string(nrow) + "\u00d78 = " +
                                std::to_string(expected) + " (little-endian f64, field[col][row])";
        raise_value_error(msg);
        return std::nullopt;
    }
    auto field = zk::Field::from_bytes(ncol, nrow, buffer.data);
    if (!field && field.error().kind() != zk::AlgoError::Kind::OutOfMemory) {
        raise_value_error("flat grid shape: " + field.error().payload());
        return std::nullopt;
    }
    return value_or_raise(std::move(field));  // out of memory: MemoryError
}

bool check_rectangular(const std::vector<std::vector<double>>& columns, std::size_t ncol, std::size_t nrow) {
    bool rectangular = columns.size() == ncol;
    for (std::size_t i = 0; rectangular && i < ncol; ++i) rectangular = columns[i].size() == nrow;
    if (!rectangular) {
        const std::string msg = "field must be a rectangular " + std::to_string(ncol) + "x" + std::to_string(nrow) +
                                " nested list (field[col][row])";
        raise_value_error(msg);
    }
    return rectangular;
}

std::optional<zk::Field> to_array2(const std::vector<std::vector<double>>& columns, std::size_t ncol,
                                   std::size_t nrow) {
    if (!check_rectangular(columns, ncol, nrow)) return std::nullopt;
    auto field = value_or_raise(zk::Field::create(ncol, nrow, 0.0));
    if (!field) return std::nullopt;
    for (std::size_t i = 0; i < ncol; ++i) {
        if (nrow > 0) std::memcpy(field->column(i).data(), columns[i].data(), nrow * sizeof(double));
    }
    return std::move(*field);
}

}  // namespace zkpy
