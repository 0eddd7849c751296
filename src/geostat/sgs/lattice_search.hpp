// Neighbour search of the sweep by lattice offsets. Every conditioning point
// of a sweep sits on a lattice node (data are snapped, simulated nodes are
// nodes), so the nearest ones can be found by visiting node offsets in order
// of their nominal distance instead of through the R-tree, which is much
// cheaper once the lattice has filled up.
//
// The result is exactly the Neighbourhood's: squared distances are computed
// from the stored world positions as the index computes them, candidates are
// kept under the key (squared distance, insertion position), and the scan
// stops only when no further offset can hold a squared distance that
// qualifies. The nominal squared distance of an offset and the computed one
// differ by rounding only; `prepare` bounds that difference from the
// lattice's magnitudes and refuses lattices where the bound is not small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/lattice.hpp"
#include "geostat/neighbourhood.hpp"

namespace zaviktools {

// Per-node list position of the conditioning point held there, or kNoSlot.
// Four bytes a node, so that the slots of a large lattice stay in cache.
// kNoSlot has internal linkage: an inline variable whose address is taken
// becomes a process-wide unique symbol, and another build of the toolkit
// loaded beside this one (a bench baseline, where it was eight bytes) would
// read this one's.
using NodeSlot = std::uint32_t;
constexpr NodeSlot kNoSlot = static_cast<NodeSlot>(-1);

// A lattice node.
struct PathNode {
    std::size_t col;
    std::size_t row;
};

class LatticeSearch {
public:
    // Builds the offsets within `radius` (plus the rounding margin) of a
    // node, sorted by nominal squared distance. False, keeping nothing, when
    // the geometry is degenerate or not finite, the rounding margin is not
    // small against the radius, or more than `max_offsets` offsets would be
    // needed, or the lattice has kNoSlot nodes or more (list positions would
    // not fit a NodeSlot).
    bool prepare(const Lattice& lattice, double radius, std::size_t max_offsets);
    std::size_t size() const { return offsets_.size(); }

    // Replaces `out` with the Neighbourhood's answer for node (col, row) at
    // world position `p` (its node_xy): up to `max_neighbours` points of
    // `positions` within the radius, as (list position, squared distance),
    // ordered by (squared distance, list position). `slot` maps nodes
    // (col * nrow + row) to list positions. True when `nodes` was replaced
    // with the nodes of `out`, entry for entry (exact node positions: the
    // scan knows them); false leaves it to the caller.
    bool nearest_into(std::size_t col, std::size_t row, const Xy& p, std::size_t max_neighbours,
                      std::span<const NodeSlot> slot, std::span<const Xy> positions, std::vector<Neighbour>& out,
                      std::vector<PathNode>& nodes) const;

private:
    void nearest_exact(std::size_t col, std::size_t row, std::size_t max_neighbours,
                       std::span<const NodeSlot> slot, std::vector<Neighbour>& out,
                       std::vector<PathNode>& nodes) const;
    // nearest_exact into o and n (room for min(max_neighbours, offsets) +
    // ties_ entries); the count kept.
    std::size_t scan(std::size_t col, std::size_t row, std::size_t max_neighbours, std::span<const NodeSlot> slot,
                     Neighbour* o, PathNode* n) const;
    static constexpr std::size_t kStackList = 128;

    struct Offset {
        double nominal;  // (di*xinc)^2 + (dj*yinc)^2
        std::int32_t di;
        std::int32_t dj;
        std::int64_t step;   // di * nrow + dj: the offset in node numbers
        std::uint64_t ring;  // its ring's number (count of smaller nominal distances) << 32
    };
    std::vector<Offset> offsets_;
    std::vector<std::size_t> leaves_col_;  // by room in columns: the first offset beyond it
    std::vector<std::size_t> leaves_row_;
    std::uint64_t ring_limit_ = 0;  // the last ring within the radius, as Offset::ring
    std::size_t ties_ = 0;    // most offsets sharing one nominal distance
    std::size_t di_max_ = 0;  // the offsets' reach in columns and rows
    std::size_t dj_max_ = 0;
    std::size_t ncol_ = 0;
    std::size_t nrow_ = 0;
    double r2_ = 0.0;
    double margin_ = 0.0;  // bound on |computed - nominal| squared distance
    // Exact node positions: the computed squared distance of an offset is its
    // nominal one, so offsets arrive in order and no heap is needed.
    bool exact_ = false;
};

}  // namespace zaviktools
