// Reusable working storage of the sequential Gaussian simulation: the buffers
// of one simple kriging solve, and everything one sweep over a lattice needs.
// Buffers grow to the largest size met and are then reused, so a sweep
// allocates per node only inside the neighbour index's amortised growth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/field.hpp"
#include "foundation/lattice.hpp"
#include "geostat/neighbourhood.hpp"
#include "geostat/sgs/lattice_search.hpp"
#include "geostat/sgs/offset_table.hpp"
#include "linalg/condition.hpp"

namespace zaviktools {

// One conditioning point of the node being simulated: its world position, its
// offset from the node (neighbour minus node) and its normal score.
struct SkNeighbour {
    double x;
    double y;
    double dx;
    double dy;
    double value;
};

// Buffers of one simple kriging system: the m x m correlation matrix (row
// major, overwritten by its LU factors) and an unfactored copy, right-hand
// side, row permutation, the weights and the condition estimate's vectors;
// `dx`, `dy` and `rho` carry one batch of offsets and their correlations while
// the system is built.
struct SkScratch {
    std::vector<double> matrix;
    std::vector<double> full;  // the unfactored matrix, for a solve with fewer neighbours
    ConditionScratch condition;
    std::vector<double> rhs;
    std::vector<std::size_t> perm;
    std::vector<double> solution;
    std::vector<double> dx;
    std::vector<double> dy;
    std::vector<double> rho;
};

// Everything one sweep reuses. Entry k of `index` is position k of
// `positions` / `scores` (data nodes first, then simulated nodes in path
// order). A sweep resets it all to empty before it starts.
struct SgsScratch {
    std::vector<Xy> positions;
    std::vector<double> scores;
    // Lattice-sized lists read all over (the slots) or from end to end (the
    // path): in the field's storage, on huge pages where the system allows,
    // so that a node's neighbourhood does not cost a page walk per column.
    std::vector<PathNode, detail::FieldAllocator<PathNode>> path;
    Neighbourhood index;
    std::vector<Neighbour> found;
    std::vector<PathNode> found_nodes;  // the node of each entry of `found`
    std::vector<SkNeighbour> neighbours;
    SkScratch sk;
    // The offset search that takes over from `index` once the lattice has
    // filled enough to make it cheaper (same results), and the per-node list
    // position it reads (kNoSlot where no point is held).
    LatticeSearch lattice_search;
    std::vector<NodeSlot, detail::FieldAllocator<NodeSlot>> slot;
    // On exact lattices: correlations by node offset; the node of each list
    // position.
    OffsetTable table;
    std::vector<PathNode> held;
    std::vector<std::int64_t> keys;

    // Empties every list; capacities are kept for the next sweep.
    void reset() {
        positions.clear();
        scores.clear();
        path.clear();
        index.clear();
        found.clear();
        found_nodes.clear();
        neighbours.clear();
        slot.clear();
        held.clear();
    }
};

}  // namespace zaviktools
