// Echo hooks for every argument kind, error-path hooks and number rendering.
#include <array>
#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/format.hpp"
#include "frame/entry.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"

namespace zk = zaviktools;

#define ECHO(name, T)                          \
    ZK_FUNCTION(name, #name "(value)", "") {   \
        T value{};                             \
        if (!args.parse(value)) return nullptr; \
        return zkpy::to_py(value);             \
    }

using Point2 = std::array<double, 2>;
using Point3 = std::array<double, 3>;
using Points2 = std::vector<Point2>;
using Nested = std::vector<std::vector<double>>;

ECHO(echo_real, double)
ECHO(echo_count, std::uint64_t)
ECHO(echo_i64, std::int64_t)
ECHO(echo_flag, bool)
ECHO(echo_text, std::string)
ECHO(echo_reals, std::vector<double>)
ECHO(echo_ints, std::vector<std::int64_t>)
ECHO(echo_point2, Point2)
ECHO(echo_point3, Point3)
ECHO(echo_points2, Points2)
ECHO(echo_nested, Nested)
#undef ECHO

ZK_FUNCTION(echo_bytes, "echo_bytes(value)", "") {
    zkpy::BytesArg b;
    if (!args.parse(b)) return nullptr;
    return PyBytes_FromStringAndSize(b.data, static_cast<Py_ssize_t>(b.size));
}

ZK_FUNCTION(echo_optional_real, "echo_optional_real(value=None)", "") {
    std::optional<double> v;
    if (!args.parse(v)) return nullptr;
    if (!v) Py_RETURN_NONE;
    return zkpy::to_py(*v);
}

ZK_FUNCTION(echo_defaults, "echo_defaults(a, b=2.5, flag=False, name=\"x\")", "") {
    double a = 0.0, b = 2.5;
    bool flag = false;
    std::string name = "x";
    if (!args.parse(a, b, flag, name)) return nullptr;
    return zkpy::to_py(std::make_tuple(a, b, flag, name));
}

ZK_FUNCTION(raise_panic, "raise_panic(message)", "") {
    std::string message;
    if (!args.parse(message)) return nullptr;
    throw std::logic_error(message);
}

ZK_FUNCTION(raise_panic_silent, "raise_panic_silent()", "") {
    if (!args.parse()) return nullptr;
    throw 42;
}

ZK_FUNCTION(raise_bad_alloc, "raise_bad_alloc()", "") {
    if (!args.parse()) return nullptr;
    throw std::bad_alloc();
}

// The ways a container or new[] refuses a size it can never hold.
ZK_FUNCTION(raise_size_error, "raise_size_error(kind)", "") {
    std::string kind;
    if (!args.parse(kind)) return nullptr;
    volatile std::size_t huge = std::size_t(-1) / 2;
    if (kind == "reserve") std::vector<double>().reserve(huge);
    if (kind == "construct") std::vector<double> v(huge);
    if (kind == "new[]") delete[] new double[huge];
    if (kind == "length_error") throw std::length_error("vector::reserve");
    Py_RETURN_NONE;
}

ZK_FUNCTION(raise_core_error, "raise_core_error(kind, payload)", "") {
    std::string kind, payload;
    if (!args.parse(kind, payload)) return nullptr;
    std::optional<zk::AlgoError> e;
    if (kind == "EmptyInput") e = zk::AlgoError::empty_input("stats: no data");
    if (kind == "InvalidGeometry") e = zk::AlgoError::invalid_geometry("lattice: bad");
    if (kind == "InvalidArgument") e = zk::AlgoError::invalid_argument(payload);
    if (kind == "Io") e = zk::AlgoError::io(payload);
    if (kind == "Parse") e = zk::AlgoError::parse(payload);
    if (kind == "NotFound") e = zk::AlgoError::not_found(payload);
    if (kind == "OutOfMemory") e = zk::AlgoError::out_of_memory(payload);
    if (!e) return zkpy::to_py(std::string("unknown kind"));
    return zkpy::to_py(zk::Result<double>(std::unexpected(*e)));
}

ZK_FUNCTION(release_gil_and_panic, "release_gil_and_panic()", "") {
    if (!args.parse()) return nullptr;
    zkpy::without_gil([] { throw std::runtime_error("panicked without the lock"); });
    Py_RETURN_NONE;
}

ZK_FUNCTION(fmt_num, "fmt_num(x)", "") {
    double x = 0.0;
    if (!args.parse(x)) return nullptr;
    return zkpy::to_py(zk::fmt_num(x));
}

ZK_FUNCTION(fmt_debug, "fmt_debug(x)", "") {
    double x = 0.0;
    if (!args.parse(x)) return nullptr;
    return zkpy::to_py(zk::fmt_debug(x));
}

ZK_FUNCTION(fmt_fixed, "fmt_fixed(x, decimals)", "") {
    double x = 0.0;
    std::int64_t d = 0;
    if (!args.parse(x, d)) return nullptr;
    return zkpy::to_py(zk::fmt_fixed(x, static_cast<int>(d)));
}
