// Neighbourhood queries: depth-first branch and bound over the R-tree with the
// current candidates kept as a max-heap (on the caller's result buffer) under
// the key (squared distance, insertion position).
//
// A subtree is skipped only when it cannot hold a key smaller than the worst
// kept one: its squared minimum distance is strictly larger, or equal with a
// larger smallest position. The rectangle distance is a lower bound of every
// entry's squared distance in floating point too (rounding is monotone), so
// ties are never lost and the result does not depend on the tree's shape.
#include <algorithm>
#include <cmath>

#include "geostat/neighbourhood.hpp"

namespace zaviktools {
namespace {

// Heap order: (squared distance, insertion position); while searching a
// Neighbour holds the position in `index` and the squared distance.
// A function object rather than a function, so the heap algorithms inline it.
struct KeyLess {
    bool operator()(const Neighbour& a, const Neighbour& b) const {
        return a.distance < b.distance || (a.distance == b.distance && a.index < b.index);
    }
};
constexpr KeyLess key_less{};

}  // namespace

struct Neighbourhood::Search {
    double qx;
    double qy;
    double r2;
    std::size_t k;
    std::vector<Neighbour>& out;
    double bound;  // r2 until k candidates are held, then the worst kept squared distance

    bool full() const { return out.size() == k; }

    void offer(double d2, std::uint64_t pos) {
        if (!full()) {
            out.push_back({static_cast<std::size_t>(pos), d2});
            std::push_heap(out.begin(), out.end(), key_less);
            if (full()) bound = out.front().distance;
            return;
        }
        const Neighbour& worst = out.front();
        if (d2 < worst.distance || (d2 == worst.distance && pos < worst.index)) {
            std::pop_heap(out.begin(), out.end(), key_less);
            out.back() = {static_cast<std::size_t>(pos), d2};
            std::push_heap(out.begin(), out.end(), key_less);
            bound = out.front().distance;
        }
    }
};

void Neighbourhood::search_leaf(const Leaf& leaf, Search& s) const {
    double d2[kSlots];
    const std::uint32_t n = leaf.count;
    for (std::uint32_t i = 0; i < n; ++i) {
        const double dx = leaf.x[i] - s.qx;
        const double dy = leaf.y[i] - s.qy;
        d2[i] = dx * dx + dy * dy;
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        if (d2[i] <= s.bound) s.offer(d2[i], leaf.pos[i]);
    }
}

void Neighbourhood::search_inner(const Inner& node, Search& s) const {
    double md[kSlots];
    std::uint32_t order[kSlots];
    const std::uint32_t n = node.count;
    for (std::uint32_t i = 0; i < n; ++i) {
        const double dx = std::max(std::max(node.minx[i] - s.qx, s.qx - node.maxx[i]), 0.0);
        const double dy = std::max(std::max(node.miny[i] - s.qy, s.qy - node.maxy[i]), 0.0);
        md[i] = dx * dx + dy * dy;
    }
    // Nearest child first (insertion sort; ties in any order).
    std::uint32_t m = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (md[i] > s.bound) continue;
        std::uint32_t j = m++;
        while (j > 0 && md[order[j - 1]] > md[i]) {
            order[j] = order[j - 1];
            --j;
        }
        order[j] = i;
    }
    for (std::uint32_t t = 0; t < m; ++t) {
        const std::uint32_t i = order[t];
        if (md[i] > s.bound) break;
        if (md[i] == s.bound && s.full() && node.minpos[i] > s.out.front().index) continue;
        if (node.level == 1)
            search_leaf(leaves_[node.child[i]], s);
        else
            search_inner(inners_[node.child[i]], s);
    }
}

// Exhaustive scan: used for a non-finite query point, where rectangle
// distances are no longer safe bounds.
void Neighbourhood::scan_all(Search& s) const {
    for (std::size_t p = 0; p < entries_.size(); ++p) {
        const double dx = entries_[p].x - s.qx;
        const double dy = entries_[p].y - s.qy;
        const double d2 = dx * dx + dy * dy;
        if (d2 <= s.bound) s.offer(d2, p);
    }
}

void Neighbourhood::nearest_into(double x, double y, std::size_t max_neighbours, std::vector<Neighbour>& out,
                                 double radius) const {
    out.clear();
    if (max_neighbours == 0 || entries_.empty()) return;
    const double r2 = radius * radius;
    if (std::isnan(r2) || std::isnan(x) || std::isnan(y)) return;
    Search s{x, y, r2, max_neighbours, out, r2};
    if (!std::isfinite(x) || !std::isfinite(y))
        scan_all(s);
    else if (height_ == 1)
        search_leaf(leaves_[root_], s);
    else if (height_ > 1)
        search_inner(inners_[root_], s);
    std::sort_heap(out.begin(), out.end(), key_less);
    for (Neighbour& nb : out) {
        nb.distance = std::sqrt(nb.distance);
        nb.index = entries_[nb.index].index;
    }
}

void Neighbourhood::clear() {
    entries_.clear();
    leaves_.clear();
    inners_.clear();
    root_ = kNone;
    height_ = 0;
}

void Neighbourhood::reserve(std::size_t n) {
    entries_.reserve(n);
    // Inserted one at a time, nodes settle at roughly two thirds full.
    leaves_.reserve(n / 10 + 1);
    inners_.reserve(n / 100 + 2);
}

}  // namespace zaviktools
