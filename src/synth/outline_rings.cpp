// Ring assembly of closure_outline: contour segments become an undirected
// graph over vertex keys, and chains are walked through it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "synth/outline_contour.hpp"

namespace zaviktools::outline_detail {

namespace {

// A coordinate × 10⁶ to the nearest integer, halves away from zero,
// saturating at the signed 64-bit range; NaN gives 0.
std::int64_t key_coordinate(double c) {
    const double r = std::round(c * 1e6);
    if (std::isnan(r)) return 0;
    if (r >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
    if (r <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
}

std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// Vertices by key, numbered in order of first appearance; each keeps the
// exact point that first produced its key. Open addressing, linear probing.
class VertexTable {
public:
    explicit VertexTable(std::size_t max_vertices) {
        std::size_t cap = 16;
        while (cap < 2 * max_vertices) cap *= 2;
        slots_.assign(cap, kEmpty);
        keys_.reserve(max_vertices);
        points_.reserve(max_vertices);
    }

    std::size_t find_or_add(Xy p) {
        const std::int64_t kx = key_coordinate(p.x);
        const std::int64_t ky = key_coordinate(p.y);
        const std::size_t mask = slots_.size() - 1;
        std::size_t h = mix(static_cast<std::uint64_t>(kx) ^ mix(static_cast<std::uint64_t>(ky))) & mask;
        while (slots_[h] != kEmpty) {
            const Key& k = keys_[slots_[h]];
            if (k.x == kx && k.y == ky) return slots_[h];
            h = (h + 1) & mask;
        }
        slots_[h] = points_.size();
        keys_.push_back({kx, ky});
        points_.push_back(p);
        return points_.size() - 1;
    }

    std::size_t size() const { return points_.size(); }
    Xy point(std::size_t v) const { return points_[v]; }

private:
    struct Key {
        std::int64_t x;
        std::int64_t y;
    };
    static constexpr std::size_t kEmpty = std::numeric_limits<std::size_t>::max();
    std::vector<std::size_t> slots_;
    std::vector<Key> keys_;
    std::vector<Xy> points_;
};

// One neighbour-list entry: the vertex across `segment`.
struct Link {
    std::size_t other;
    std::size_t segment;
};

// |Σ (x_k·y_(k+1) − x_(k+1)·y_k)| / 2, the pair (last, first) included.
double shoelace_area(const std::vector<Xy>& ring) {
    double sum = 0.0;
    const std::size_t n = ring.size();
    for (std::size_t k = 0; k < n; ++k) {
        const Xy a = ring[k];
        const Xy b = ring[k + 1 == n ? 0 : k + 1];
        sum += a.x * b.y - b.x * a.y;
    }
    return std::fabs(sum) / 2.0;
}

}  // namespace

Ring largest_closed_ring(std::span<const ContourSegment> segments, StopCheck& stop) {
    const std::size_t nseg = segments.size();
    VertexTable table(2 * nseg);
    std::vector<std::size_t> ends(2 * nseg);  // vertex a then b of each segment
    for (std::size_t s = 0; s < nseg; ++s) {
        if (stop()) return {};
        ends[2 * s] = table.find_or_add(segments[s].from);
        ends[2 * s + 1] = table.find_or_add(segments[s].to);
    }

    // Neighbour lists as one array in segment order (so each vertex's entries
    // stay in insertion order): (b, s) goes to a, then (a, s) to b.
    const std::size_t nv = table.size();
    std::vector<std::size_t> start(nv + 1, 0);
    for (std::size_t e : ends) ++start[e + 1];
    for (std::size_t v = 0; v < nv; ++v) start[v + 1] += start[v];
    std::vector<Link> links(2 * nseg);
    std::vector<std::size_t> fill(start.begin(), start.end() - 1);
    for (std::size_t s = 0; s < nseg; ++s) {
        const std::size_t a = ends[2 * s];
        const std::size_t b = ends[2 * s + 1];
        links[fill[a]++] = {b, s};
        links[fill[b]++] = {a, s};
    }

    // Segments only ever become used, so the first unused entry of a vertex
    // never moves back: a cursor per vertex keeps the scans linear overall.
    std::vector<std::size_t> cursor(start.begin(), start.end() - 1);
    std::vector<char> used(nseg, 0);
    const auto next_unused = [&](std::size_t v) -> const Link* {
        std::size_t& c = cursor[v];
        while (c < start[v + 1] && used[links[c].segment]) ++c;
        return c < start[v + 1] ? &links[c] : nullptr;
    };

    Ring best;
    double best_area = 0.0;
    std::vector<Xy> chain;
    for (std::size_t s = 0; s < nseg; ++s) {
        if (stop()) return {};
        if (used[s]) continue;
        used[s] = 1;
        const std::size_t a = ends[2 * s];
        std::size_t current = ends[2 * s + 1];
        chain.clear();
        chain.push_back(table.point(a));
        chain.push_back(table.point(current));
        bool closed = false;
        while (const Link* link = next_unused(current)) {
            used[link->segment] = 1;
            if (link->other == a) {
                closed = true;
                break;
            }
            current = link->other;
            chain.push_back(table.point(current));
        }
        if (!closed || chain.size() < 3) continue;
        const double area = shoelace_area(chain);
        if (area > best_area) {
            best_area = area;
            best.swap(chain);
        }
    }
    return best;
}

}  // namespace zaviktools::outline_detail
