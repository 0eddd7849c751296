// Flat float64 buffers in and out, for callers that hold arrays (numpy and
// the like) without the module needing any array library.
//
//   in:  F64Buffer reads any C-contiguous buffer of native float64 values
//        (an array of any shape, array.array('d'), a memoryview), or raw
//        bytes (bytes, bytearray) holding little-endian float64 values, into
//        a private copy: the core never sees memory the caller may change
//        while the lock is released.
//   out: to_bytearray builds a new bytearray of the values; a caller wraps it
//        without copying (np.frombuffer(b, "<f8")) and gets a writable array.
//
//   ZK_FUNCTION(thing, "thing(values)", "...") {
//       zkpy::F64Buffer values;
//       if (!args.parse(values)) return nullptr;
//       auto out = zkpy::without_gil([&] { return compute(values.values); });
//       return zkpy::to_bytearray(out);
//   }
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "frame/python.hpp"

namespace zkpy {

struct F64Buffer {
    std::vector<double> values;
};

// TypeError "'{type}' object is not an instance of 'buffer'" for an object
// without the buffer protocol, TypeError "expected float64 values, got a
// buffer of format '{format}'" for another item type (or a non-contiguous
// buffer), ValueError "a buffer of {n} bytes is not a whole number of
// float64 values" for raw bytes of a length that is not a multiple of 8.
bool from_py(PyObject* o, F64Buffer& out);

// The values as rows of `width`: false with ValueError "{what}: {n} values
// are not whole rows of {width}" unless the count divides.
bool check_rows(const F64Buffer& buffer, std::size_t width, const char* what);

// A new bytearray holding the values' bytes (native order, little-endian here).
PyObject* to_bytearray(std::span<const double> values);
PyObject* to_bytearray(std::span<const std::uint8_t> bytes);

}  // namespace zkpy
