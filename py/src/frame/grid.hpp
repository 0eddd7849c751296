// Grid crossings: how a core Field enters and leaves Python.
//
//   nested form: a list of ncol lists of nrow floats, field[col][row];
//   flat form:   one bytes object of ncol·nrow little-endian f64 in the same
//                order (row fastest) plus the shape tuple (ncol, nrow);
//                np.frombuffer(buf, "<f8").reshape(ncol, nrow) reads it.
//
// Inputs (from_flat, to_array2) are converted with the lock held, before any
// release; outputs (rows, to_flat*) are built after the lock is taken back.
// The expected shape is always the shape of the Lattice the same call receives.
//
//   ZK_FUNCTION(thing_flat, "thing_flat(grid, lattice)", "...") {
//       zkpy::BytesArg grid;
//       zkpy::Instance<zaviktools::Lattice> lattice;
//       if (!args.parse(grid, lattice)) return nullptr;
//       auto field = zkpy::from_flat(grid, lattice->ncol(), lattice->nrow());
//       if (!field) return nullptr;                        // ValueError already set
//       auto out = zkpy::without_gil([&] { return compute(*field, *lattice); });
//       if (!out) return zkpy::to_pyerr(std::move(out).error());
//       return zkpy::to_flat(*out);                        // (bytes, (ncol, nrow))
//   }
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "foundation/field.hpp"
#include "frame/convert.hpp"
#include "frame/python.hpp"

namespace zkpy {

// New list of ncol lists of nrow floats, values copied bit for bit.
PyObject* rows(const zaviktools::Field& field);

// New bytes object of ncol·nrow·8 bytes: the field's values in field order.
PyObject* to_flat_bytes(const zaviktools::Field& field);

// The flat result of a `_flat` function: (bytes, (ncol, nrow)).
PyObject* to_flat(const zaviktools::Field& field);

// Two flat fields of one shape: (first_bytes, second_bytes, (ncol, nrow)).
// `second` must have the shape of `first`.
PyObject* to_flat_pair(const zaviktools::Field& first, const zaviktools::Field& second);

// A flat grid argument read into a new field of shape (ncol, nrow). On
// failure returns nothing with a ValueError set:
//   "flat grid shape overflow"                       ncol·nrow overflows or > 2^61 − 1
//   "flat grid is {len} bytes, expected {ncol}×{nrow}×8 = {n·8} (little-endian f64, field[col][row])"
//   "flat grid shape: {reason}"                      the field could not be built
std::optional<zaviktools::Field> from_flat(const BytesArg& buffer, std::size_t ncol, std::size_t nrow);

// Whether a converted nested-list argument has exactly ncol columns of nrow
// values each; when not, returns false with the ValueError of to_array2 set.
// For callers that read the columns in place instead of copying them.
bool check_rectangular(const std::vector<std::vector<double>>& columns, std::size_t ncol, std::size_t nrow);

// A converted nested-list argument (columns[i][j] = node (i, j)) as a new field
// of shape (ncol, nrow). On failure returns nothing with a ValueError set:
//   "field must be a rectangular {ncol}x{nrow} nested list (field[col][row])"
std::optional<zaviktools::Field> to_array2(const std::vector<std::vector<double>>& columns, std::size_t ncol,
                                           std::size_t nrow);

}  // namespace zkpy
