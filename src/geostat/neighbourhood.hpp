// Neighbourhood: a dynamic R-tree over 2-D points answering "the k nearest
// entries within a radius, nearest first".
//
// Result order is fixed by the key (squared distance, insertion position):
// among equal distances the earlier insert comes first, also when choosing
// which entries fill the last places. The result is therefore a pure function
// of the inserts and the query, whatever shape the tree has taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zaviktools {

// A point and the caller's payload index (its position in the caller's lists).
struct NeighbourEntry {
    double x;
    double y;
    std::size_t index;
};

// One query result: the entry's payload index and its distance (not squared).
struct Neighbour {
    std::size_t index;
    double distance;
};

class Neighbourhood {
public:
    Neighbourhood() = default;
    // Bulk load: entries take insertion positions 0, 1, ... in list order.
    explicit Neighbourhood(std::span<const NeighbourEntry> entries);

    // Adds one entry after all earlier ones.
    void insert(double x, double y, std::size_t index);
    // Back to empty; storage is kept for the next fill.
    void clear();
    // Room for `n` entries in all, so later inserts do not reallocate.
    void reserve(std::size_t n);
    std::size_t size() const { return entries_.size(); }

    // Replaces `out` with up to `max_neighbours` entries whose squared
    // distance dx*dx + dy*dy is <= radius*radius, ordered by (squared
    // distance, insertion position). A NaN squared distance never qualifies
    // (entries or queries with NaN coordinates match nothing). Once `out` has
    // grown, a query allocates nothing.
    void nearest_into(double x, double y, std::size_t max_neighbours, std::vector<Neighbour>& out,
                      double radius) const;

private:
    static constexpr std::uint32_t kMaxFill = 16;  // entries per node
    static constexpr std::uint32_t kMinFill = 6;   // smallest group of a split
    static constexpr std::uint32_t kSlots = kMaxFill + 1;  // room for the overflowing entry
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    struct Leaf {
        double x[kSlots];
        double y[kSlots];
        std::uint64_t pos[kSlots];  // insertion positions
        std::uint32_t count;
    };
    // An inner node: child rectangles, children, and the smallest insertion
    // position below each child (lets a query skip subtrees that can only tie).
    struct Inner {
        double minx[kSlots];
        double miny[kSlots];
        double maxx[kSlots];
        double maxy[kSlots];
        std::uint32_t child[kSlots];
        std::uint64_t minpos[kSlots];
        std::uint32_t count;
        std::uint32_t level;  // 1: children are leaves
    };
    struct Search;

    void search_inner(const Inner& node, Search& s) const;
    void search_leaf(const Leaf& leaf, Search& s) const;
    void scan_all(Search& s) const;

    void insert_into_tree(double x, double y, std::uint64_t pos);
    std::uint32_t split_leaf(std::uint32_t id);
    std::uint32_t split_inner(std::uint32_t id);
    void bulk_load(std::span<const std::uint64_t> positions);

    std::vector<NeighbourEntry> entries_;  // by insertion position
    std::vector<Leaf> leaves_;
    std::vector<Inner> inners_;
    std::uint32_t root_ = kNone;
    std::uint32_t height_ = 0;  // 0: empty tree; 1: the root is a leaf
};

}  // namespace zaviktools
