// Grid-crossing hooks: each one runs a crossing in, then one out, exactly as a
// gridded entry point would on either side of its computation.
#include <cstdint>
#include <vector>

#include "foundation/field.hpp"
#include "frame/entry.hpp"
#include "frame/result.hpp"
#include "frame/grid.hpp"

namespace zk = zaviktools;
using Nested = std::vector<std::vector<double>>;

// bytes + shape -> field -> (bytes, (ncol, nrow))
ZK_FUNCTION(grid_flat_to_flat, "grid_flat_to_flat(buffer, ncol, nrow)", "") {
    zkpy::BytesArg buffer;
    std::uint64_t ncol = 0, nrow = 0;
    if (!args.parse(buffer, ncol, nrow)) return nullptr;
    auto field = zkpy::from_flat(buffer, ncol, nrow);
    if (!field) return nullptr;
    return zkpy::to_flat(*field);
}

// bytes + shape -> field -> nested lists
ZK_FUNCTION(grid_flat_to_rows, "grid_flat_to_rows(buffer, ncol, nrow)", "") {
    zkpy::BytesArg buffer;
    std::uint64_t ncol = 0, nrow = 0;
    if (!args.parse(buffer, ncol, nrow)) return nullptr;
    auto field = zkpy::from_flat(buffer, ncol, nrow);
    if (!field) return nullptr;
    return zkpy::rows(*field);
}

// nested lists + shape -> field -> nested lists
ZK_FUNCTION(grid_nested_to_rows, "grid_nested_to_rows(columns, ncol, nrow)", "") {
    Nested columns;
    std::uint64_t ncol = 0, nrow = 0;
    if (!args.parse(columns, ncol, nrow)) return nullptr;
    auto field = zkpy::to_array2(columns, ncol, nrow);
    if (!field) return nullptr;
    return zkpy::rows(*field);
}

// nested lists + shape -> field -> (bytes, (ncol, nrow))
ZK_FUNCTION(grid_nested_to_flat, "grid_nested_to_flat(columns, ncol, nrow)", "") {
    Nested columns;
    std::uint64_t ncol = 0, nrow = 0;
    if (!args.parse(columns, ncol, nrow)) return nullptr;
    auto field = zkpy::to_array2(columns, ncol, nrow);
    if (!field) return nullptr;
    return zkpy::to_flat(*field);
}

// Two fields of one shape as (bytes, bytes, (ncol, nrow)); the second is the
// first with every value negated.
ZK_FUNCTION(grid_flat_pair, "grid_flat_pair(columns, ncol, nrow)", "") {
    Nested columns;
    std::uint64_t ncol = 0, nrow = 0;
    if (!args.parse(columns, ncol, nrow)) return nullptr;
    auto first = zkpy::to_array2(columns, ncol, nrow);
    if (!first) return nullptr;
    zk::Field second = *first;
    for (std::size_t k = 0; k < second.size(); ++k) second.data()[k] = -second.data()[k];
    return zkpy::to_flat_pair(*first, second);
}

// The checked field factory: (ncol, nrow, size) of a field filled with `fill`,
// or the core error raised as ValueError.
ZK_FUNCTION(grid_field_create, "grid_field_create(ncol, nrow, fill=0.0)", "") {
    std::uint64_t ncol = 0, nrow = 0;
    double fill = 0.0;
    if (!args.parse(ncol, nrow, fill)) return nullptr;
    auto field = zk::Field::create(ncol, nrow, fill);
    if (!field) return zkpy::to_pyerr(std::move(field).error());
    return zkpy::to_py(std::make_tuple(std::uint64_t{field->ncol()}, std::uint64_t{field->nrow()},
                                       std::uint64_t{field->size()}));
}
