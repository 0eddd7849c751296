// Neighbourhood growth: one entry at a time, R*-tree style. The subtree is
// chosen by least area enlargement (then least perimeter enlargement, then
// least area); an overflowing node is split along the axis of least total
// perimeter at the distribution of least overlap (then least area). These
// choices shape the tree, hence speed, never query results.
#include <algorithm>
#include <cmath>

#include "geostat/neighbourhood.hpp"

namespace zaviktools {
namespace {

struct Box {
    double minx, miny, maxx, maxy;
};

Box unite(const Box& a, const Box& b) {
    return {std::min(a.minx, b.minx), std::min(a.miny, b.miny), std::max(a.maxx, b.maxx), std::max(a.maxy, b.maxy)};
}
double area(const Box& b) { return (b.maxx - b.minx) * (b.maxy - b.miny); }
double margin(const Box& b) { return (b.maxx - b.minx) + (b.maxy - b.miny); }
double overlap(const Box& a, const Box& b) {
    const double w = std::min(a.maxx, b.maxx) - std::max(a.minx, b.minx);
    const double h = std::min(a.maxy, b.maxy) - std::max(a.miny, b.miny);
    return (w > 0.0 && h > 0.0) ? w * h : 0.0;
}

// Split of n boxes into order[0, k) and order[k, n).
template <std::size_t N>
struct Split {
    std::uint32_t order[N];
    std::uint32_t k;
};

// R* split over `n` boxes: per axis, the entries sorted by lower and by upper
// edge; groups of at least `min_fill`.
template <std::size_t N>
Split<N> choose_split(const Box* boxes, std::uint32_t n, std::uint32_t min_fill) {
    Split<N> best{};
    double best_margin = INFINITY;
    int best_axis = 0;
    // Orders: axis 0 by minx, axis 0 by maxx, axis 1 by miny, axis 1 by maxy.
    std::uint32_t orders[4][N];
    for (int s = 0; s < 4; ++s) {
        auto key = [&](std::uint32_t i) {
            const Box& b = boxes[i];
            switch (s) {
                case 0: return b.minx;
                case 1: return b.maxx;
                case 2: return b.miny;
                default: return b.maxy;
            }
        };
        for (std::uint32_t i = 0; i < n; ++i) {
            std::uint32_t j = i;
            while (j > 0 && key(orders[s][j - 1]) > key(i)) {
                orders[s][j] = orders[s][j - 1];
                --j;
            }
            orders[s][j] = i;
        }
    }
    Box prefix[N], suffix[N];
    auto sweep = [&](const std::uint32_t* ord) {
        prefix[0] = boxes[ord[0]];
        for (std::uint32_t i = 1; i < n; ++i) prefix[i] = unite(prefix[i - 1], boxes[ord[i]]);
        suffix[n - 1] = boxes[ord[n - 1]];
        for (std::uint32_t i = n - 1; i-- > 0;) suffix[i] = unite(suffix[i + 1], boxes[ord[i]]);
    };
    for (int axis = 0; axis < 2; ++axis) {
        double total = 0.0;
        for (int s = 2 * axis; s < 2 * axis + 2; ++s) {
            sweep(orders[s]);
            for (std::uint32_t k = min_fill; k + min_fill <= n; ++k) total += margin(prefix[k - 1]) + margin(suffix[k]);
        }
        if (total < best_margin) {
            best_margin = total;
            best_axis = axis;
        }
    }
    double best_overlap = INFINITY, best_area = INFINITY;
    int best_s = 2 * best_axis;
    best.k = min_fill;
    for (int s = 2 * best_axis; s < 2 * best_axis + 2; ++s) {
        sweep(orders[s]);
        for (std::uint32_t k = min_fill; k + min_fill <= n; ++k) {
            const double ov = overlap(prefix[k - 1], suffix[k]);
            const double ar = area(prefix[k - 1]) + area(suffix[k]);
            if (ov < best_overlap || (ov == best_overlap && ar < best_area)) {
                best_overlap = ov;
                best_area = ar;
                best_s = s;
                best.k = k;
            }
        }
    }
    std::copy(orders[best_s], orders[best_s] + n, best.order);
    return best;
}

}  // namespace

// Splits the full leaf `id` in two; the second half moves to a new leaf whose
// id is returned. Ids stay valid: leaves_ may reallocate, so work by index.
std::uint32_t Neighbourhood::split_leaf(std::uint32_t id) {
    Box boxes[kSlots];
    const std::uint32_t n = leaves_[id].count;
    for (std::uint32_t i = 0; i < n; ++i) boxes[i] = {leaves_[id].x[i], leaves_[id].y[i], leaves_[id].x[i], leaves_[id].y[i]};
    const Split<kSlots> sp = choose_split<kSlots>(boxes, n, kMinFill);
    const std::uint32_t fresh = static_cast<std::uint32_t>(leaves_.size());
    leaves_.push_back({});
    Leaf& a = leaves_[id];
    Leaf& b = leaves_[fresh];
    const Leaf old = a;
    a.count = 0;
    b.count = 0;
    for (std::uint32_t t = 0; t < n; ++t) {
        Leaf& dst = t < sp.k ? a : b;
        const std::uint32_t i = sp.order[t];
        dst.x[dst.count] = old.x[i];
        dst.y[dst.count] = old.y[i];
        dst.pos[dst.count] = old.pos[i];
        ++dst.count;
    }
    return fresh;
}

std::uint32_t Neighbourhood::split_inner(std::uint32_t id) {
    Box boxes[kSlots];
    const std::uint32_t n = inners_[id].count;
    for (std::uint32_t i = 0; i < n; ++i) {
        const Inner& nd = inners_[id];
        boxes[i] = {nd.minx[i], nd.miny[i], nd.maxx[i], nd.maxy[i]};
    }
    const Split<kSlots> sp = choose_split<kSlots>(boxes, n, kMinFill);
    const std::uint32_t fresh = static_cast<std::uint32_t>(inners_.size());
    inners_.push_back({});
    Inner& a = inners_[id];
    Inner& b = inners_[fresh];
    const Inner old = a;
    a.count = 0;
    b.count = 0;
    b.level = old.level;
    for (std::uint32_t t = 0; t < n; ++t) {
        Inner& dst = t < sp.k ? a : b;
        const std::uint32_t i = sp.order[t];
        const std::uint32_t c = dst.count++;
        dst.minx[c] = old.minx[i];
        dst.miny[c] = old.miny[i];
        dst.maxx[c] = old.maxx[i];
        dst.maxy[c] = old.maxy[i];
        dst.child[c] = old.child[i];
        dst.minpos[c] = old.minpos[i];
    }
    return fresh;
}

void Neighbourhood::insert(double x, double y, std::size_t index) {
    const std::uint64_t pos = entries_.size();
    entries_.push_back({x, y, index});
    // A NaN coordinate has a NaN distance to every query: it can never be
    // found, so it stays out of the tree (and out of its rectangles).
    if (std::isnan(x) || std::isnan(y)) return;
    insert_into_tree(x, y, pos);
}

void Neighbourhood::insert_into_tree(double x, double y, std::uint64_t pos) {
    if (height_ == 0) {
        root_ = static_cast<std::uint32_t>(leaves_.size());
        leaves_.push_back({});
        height_ = 1;
    }
    // Descend, widening each chosen child's rectangle to take the point.
    std::uint32_t path[64];
    std::uint32_t slot[64];
    std::uint32_t depth = 0;
    std::uint32_t id = root_;
    for (std::uint32_t level = height_ - 1; level > 0; --level) {
        Inner& nd = inners_[id];
        std::uint32_t best = 0;
        double best_grow = INFINITY, best_edge = INFINITY, best_area = INFINITY;
        for (std::uint32_t i = 0; i < nd.count; ++i) {
            const Box b{nd.minx[i], nd.miny[i], nd.maxx[i], nd.maxy[i]};
            const Box u = unite(b, {x, y, x, y});
            const double a0 = area(b);
            const double grow = area(u) - a0;
            const double edge = margin(u) - margin(b);
            if (grow < best_grow || (grow == best_grow && (edge < best_edge || (edge == best_edge && a0 < best_area)))) {
                best = i;
                best_grow = grow;
                best_edge = edge;
                best_area = a0;
            }
        }
        nd.minx[best] = std::min(nd.minx[best], x);
        nd.miny[best] = std::min(nd.miny[best], y);
        nd.maxx[best] = std::max(nd.maxx[best], x);
        nd.maxy[best] = std::max(nd.maxy[best], y);
        path[depth] = id;
        slot[depth] = best;
        ++depth;
        id = nd.child[best];
    }
    {
        Leaf& leaf = leaves_[id];
        leaf.x[leaf.count] = x;
        leaf.y[leaf.count] = y;
        leaf.pos[leaf.count] = pos;
        ++leaf.count;
        if (leaf.count <= kMaxFill) return;
    }
    // Rectangle and smallest position of a node's contents.
    auto summarise_leaf = [this](std::uint32_t n, Box& box, std::uint64_t& minpos) {
        const Leaf& l = leaves_[n];
        box = {l.x[0], l.y[0], l.x[0], l.y[0]};
        minpos = l.pos[0];
        for (std::uint32_t i = 1; i < l.count; ++i) {
            box = unite(box, {l.x[i], l.y[i], l.x[i], l.y[i]});
            minpos = std::min(minpos, l.pos[i]);
        }
    };
    auto summarise_inner = [this](std::uint32_t n, Box& box, std::uint64_t& minpos) {
        const Inner& nd = inners_[n];
        box = {nd.minx[0], nd.miny[0], nd.maxx[0], nd.maxy[0]};
        minpos = nd.minpos[0];
        for (std::uint32_t i = 1; i < nd.count; ++i) {
            box = unite(box, {nd.minx[i], nd.miny[i], nd.maxx[i], nd.maxy[i]});
            minpos = std::min(minpos, nd.minpos[i]);
        }
    };
    // Overflow: split upwards while parents overflow.
    std::uint32_t fresh = split_leaf(id);
    bool leaf_level = true;
    while (true) {
        Box box_a, box_b;
        std::uint64_t min_a, min_b;
        if (leaf_level) {
            summarise_leaf(id, box_a, min_a);
            summarise_leaf(fresh, box_b, min_b);
        } else {
            summarise_inner(id, box_a, min_a);
            summarise_inner(fresh, box_b, min_b);
        }
        if (depth == 0) {
            // The root split: grow a new root above both halves.
            const std::uint32_t r = static_cast<std::uint32_t>(inners_.size());
            inners_.push_back({});
            Inner& nd = inners_[r];
            nd.count = 2;
            nd.level = height_;
            const Box bx[2] = {box_a, box_b};
            const std::uint32_t ch[2] = {id, fresh};
            const std::uint64_t mp[2] = {min_a, min_b};
            for (int i = 0; i < 2; ++i) {
                nd.minx[i] = bx[i].minx;
                nd.miny[i] = bx[i].miny;
                nd.maxx[i] = bx[i].maxx;
                nd.maxy[i] = bx[i].maxy;
                nd.child[i] = ch[i];
                nd.minpos[i] = mp[i];
            }
            root_ = r;
            ++height_;
            return;
        }
        --depth;
        const std::uint32_t pid = path[depth];
        {
            Inner& p = inners_[pid];
            const std::uint32_t s = slot[depth];
            p.minx[s] = box_a.minx;
            p.miny[s] = box_a.miny;
            p.maxx[s] = box_a.maxx;
            p.maxy[s] = box_a.maxy;
            p.minpos[s] = min_a;
            const std::uint32_t c = p.count++;
            p.minx[c] = box_b.minx;
            p.miny[c] = box_b.miny;
            p.maxx[c] = box_b.maxx;
            p.maxy[c] = box_b.maxy;
            p.child[c] = fresh;
            p.minpos[c] = min_b;
            if (p.count <= kMaxFill) return;
        }
        id = pid;
        fresh = split_inner(pid);
        leaf_level = false;
    }
}

}  // namespace zaviktools
