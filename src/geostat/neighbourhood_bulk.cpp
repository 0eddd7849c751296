// Neighbourhood bulk load: sort-tile-recursive packing of full nodes, leaves
// first, then each level above from the lower corners of the level below.
#include <algorithm>
#include <cmath>

#include "geostat/neighbourhood.hpp"

namespace zaviktools {
namespace {

// Tiles `items` (already any order) into groups of at most `fill`: vertical
// slices by `kx`, then runs by `ky` within each slice. Ties fall back on the
// item value itself, so the order is total and deterministic.
template <class T, class KX, class KY>
void tile(std::vector<T>& items, std::size_t fill, KX kx, KY ky) {
    const std::size_t n = items.size();
    const std::size_t groups = (n + fill - 1) / fill;
    const auto slices = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(groups))));
    const std::size_t per_slice = ((groups + slices - 1) / slices) * fill;
    std::sort(items.begin(), items.end(), [&](const T& a, const T& b) {
        return kx(a) < kx(b) || (kx(a) == kx(b) && (ky(a) < ky(b) || (ky(a) == ky(b) && a < b)));
    });
    for (std::size_t s = 0; s < n; s += per_slice) {
        const auto first = items.begin() + static_cast<std::ptrdiff_t>(s);
        const auto last = items.begin() + static_cast<std::ptrdiff_t>(std::min(n, s + per_slice));
        std::sort(first, last, [&](const T& a, const T& b) {
            return ky(a) < ky(b) || (ky(a) == ky(b) && (kx(a) < kx(b) || (kx(a) == kx(b) && a < b)));
        });
    }
}

}  // namespace

Neighbourhood::Neighbourhood(std::span<const NeighbourEntry> entries) {
    entries_.assign(entries.begin(), entries.end());
    std::vector<std::uint64_t> positions;
    positions.reserve(entries_.size());
    for (std::size_t p = 0; p < entries_.size(); ++p) {
        // NaN coordinates can never be found (see insert).
        if (!std::isnan(entries_[p].x) && !std::isnan(entries_[p].y)) positions.push_back(p);
    }
    bulk_load(positions);
}

void Neighbourhood::bulk_load(std::span<const std::uint64_t> positions) {
    if (positions.empty()) return;
    std::vector<std::uint64_t> items(positions.begin(), positions.end());
    tile(
        items, kMaxFill, [&](std::uint64_t p) { return entries_[p].x; }, [&](std::uint64_t p) { return entries_[p].y; });
    // Leaves.
    std::vector<std::uint32_t> level_ids;
    for (std::size_t s = 0; s < items.size(); s += kMaxFill) {
        const auto id = static_cast<std::uint32_t>(leaves_.size());
        leaves_.push_back({});
        Leaf& leaf = leaves_.back();
        leaf.count = 0;
        for (std::size_t t = s; t < std::min(items.size(), s + kMaxFill); ++t) {
            leaf.x[leaf.count] = entries_[items[t]].x;
            leaf.y[leaf.count] = entries_[items[t]].y;
            leaf.pos[leaf.count] = items[t];
            ++leaf.count;
        }
        level_ids.push_back(id);
    }
    height_ = 1;
    // Summaries of the current level: rectangle and smallest position.
    struct Summary {
        double minx, miny, maxx, maxy;
        std::uint64_t minpos;
        std::uint32_t id;
        bool operator<(const Summary& o) const { return id < o.id; }
    };
    std::vector<Summary> level;
    for (std::uint32_t id : level_ids) {
        const Leaf& l = leaves_[id];
        Summary sm{l.x[0], l.y[0], l.x[0], l.y[0], l.pos[0], id};
        for (std::uint32_t i = 1; i < l.count; ++i) {
            sm.minx = std::min(sm.minx, l.x[i]);
            sm.miny = std::min(sm.miny, l.y[i]);
            sm.maxx = std::max(sm.maxx, l.x[i]);
            sm.maxy = std::max(sm.maxy, l.y[i]);
            sm.minpos = std::min(sm.minpos, l.pos[i]);
        }
        level.push_back(sm);
    }
    while (level.size() > 1) {
        tile(
            level, kMaxFill, [](const Summary& s) { return s.minx; }, [](const Summary& s) { return s.miny; });
        std::vector<Summary> above;
        for (std::size_t s = 0; s < level.size(); s += kMaxFill) {
            const auto id = static_cast<std::uint32_t>(inners_.size());
            inners_.push_back({});
            Inner& nd = inners_.back();
            nd.count = 0;
            nd.level = height_;
            Summary up = level[s];
            up.id = id;
            for (std::size_t t = s; t < std::min(level.size(), s + kMaxFill); ++t) {
                const Summary& c = level[t];
                const std::uint32_t i = nd.count++;
                nd.minx[i] = c.minx;
                nd.miny[i] = c.miny;
                nd.maxx[i] = c.maxx;
                nd.maxy[i] = c.maxy;
                nd.child[i] = c.id;
                nd.minpos[i] = c.minpos;
                up.minx = std::min(up.minx, c.minx);
                up.miny = std::min(up.miny, c.miny);
                up.maxx = std::max(up.maxx, c.maxx);
                up.maxy = std::max(up.maxy, c.maxy);
                up.minpos = std::min(up.minpos, c.minpos);
            }
            above.push_back(up);
        }
        level.swap(above);
        ++height_;
    }
    root_ = level.front().id;
}

}  // namespace zaviktools
