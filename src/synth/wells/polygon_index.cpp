// PolygonIndex: edges listed per horizontal band.
#include <algorithm>
#include <cmath>

#include "synth/wells/polygon_index.hpp"

namespace zaviktools {

namespace {

// Band entries allowed per edge on average before the bands are made coarser:
// long edges spanning many bands would otherwise multiply the storage.
constexpr std::uint64_t kEntriesPerEdge = 8;

constexpr std::uint32_t kMaxBands = 1u << 16;

}  // namespace

std::uint32_t PolygonIndex::band_of(double y) const {
    // Monotone in y, so an edge listed from band_of(low end) to band_of(high
    // end) is found from every y between its ends.
    const double f = std::floor((y - ymin_) * scale_);
    if (!(f > 0.0)) return 0;
    if (f >= static_cast<double>(bands_ - 1)) return bands_ - 1;
    return static_cast<std::uint32_t>(f);
}

PolygonIndex::PolygonIndex(std::span<const Xy> polygon, double ymin, double ymax) : ymin_(ymin) {
    std::vector<Edge> all;
    all.reserve(polygon.size());
    std::size_t j = polygon.size() - 1;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Xy a = polygon[i], b = polygon[j];
        j = i;
        if (std::isnan(a.x) || std::isnan(a.y) || std::isnan(b.x) || std::isnan(b.y) || a.y == b.y) continue;
        all.push_back({a.x, a.y, b.x - a.x, b.y - a.y, b.y});
    }
    // As many bands as edges, fewer while the edges would be listed too often.
    bands_ = static_cast<std::uint32_t>(std::clamp<std::size_t>(all.size(), 1, kMaxBands));
    std::uint64_t entries = 0;
    for (;;) {
        scale_ = static_cast<double>(bands_) / (ymax - ymin);
        if (!std::isfinite(scale_)) scale_ = 0.0;  // a band count beyond the double range: one band
        entries = 0;
        for (const Edge& e : all)
            entries += band_of(std::max(e.yi, e.yj)) - band_of(std::min(e.yi, e.yj)) + 1;
        if (bands_ == 1 || entries <= kEntriesPerEdge * all.size()) break;
        bands_ /= 2;
    }
    start_.assign(bands_ + 1, 0);
    for (const Edge& e : all)
        for (std::uint32_t k = band_of(std::min(e.yi, e.yj)); k <= band_of(std::max(e.yi, e.yj)); ++k) ++start_[k + 1];
    for (std::uint32_t k = 0; k < bands_; ++k) start_[k + 1] += start_[k];
    edges_.resize(entries);
    std::vector<std::size_t> fill(start_.begin(), start_.end() - 1);
    for (const Edge& e : all)
        for (std::uint32_t k = band_of(std::min(e.yi, e.yj)); k <= band_of(std::max(e.yi, e.yj)); ++k)
            edges_[fill[k]++] = e;
}

bool PolygonIndex::inside(Xy p) const {
    const std::uint32_t k = band_of(p.y);
    bool in = false;
    for (std::size_t e = start_[k]; e < start_[k + 1]; ++e) {
        const Edge& g = edges_[e];
        if ((p.y < g.yi) != (p.y < g.yj) && p.x < g.xi + (p.y - g.yi) * g.dx / g.dy) in = !in;
    }
    return in;
}

}  // namespace zaviktools
