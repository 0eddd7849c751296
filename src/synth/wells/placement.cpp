// place_wells and place_wells_in_polygon.
#include <cmath>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "foundation/interrupt.hpp"
#include "foundation/memory.hpp"
#include "sampling/rng.hpp"
#include "synth/wells/polygon_index.hpp"
#include "synth/wells/placement.hpp"

namespace zaviktools {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::unexpected<AlgoError> reject(const char* operation, const std::string& rule) {
    return fail(AlgoError::invalid_argument(std::string(operation) + ": " + rule));
}

// A usable uniform range: finite bounds, lo < hi, and a width that does not
// overflow (the uniform recipe scales by hi − lo).
bool usable_range(double lo, double hi) { return std::isfinite(lo) && std::isfinite(hi) && lo < hi && std::isfinite(hi - lo); }

// An empty list with room for n points, or the size failure of `operation`.
Result<std::vector<Xy>> reserve_points(const char* operation, std::uint64_t n) {
    std::vector<Xy> points;
    if (n > points.max_size()) return reject(operation, "n = " + std::to_string(n) + " wells cannot be stored");
    const std::string cannot = "cannot allocate " + std::to_string(n) + " wells";
    if (!addressable(n, sizeof(Xy))) return reject(operation, cannot);
    try {
        points.reserve(n);
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory(std::string(operation) + ": " + cannot));
    }
    return points;
}

}  // namespace

Result<std::vector<Xy>> place_wells(const Extent& e, std::uint64_t n, std::uint64_t seed) {
    constexpr const char* op = "place_wells";
    if (!(usable_range(e.xmin, e.xmax) && usable_range(e.ymin, e.ymax)))
        return reject(op, "need a non-degenerate finite extent");
    auto points = reserve_points(op, n);
    if (!points) return points;
    Rng rng = seeded_rng(seed);
    StopCheck stop;  // a point takes nanoseconds: asked between runs of 4096
    const bool done = run_chunked(stop, n, 4096, [&](std::size_t) {
        const double x = uniform_between(rng, e.xmin, e.xmax);
        const double y = uniform_between(rng, e.ymin, e.ymax);
        points->push_back({x, y});
        return true;
    });
    if (!done) return fail(AlgoError::interrupted(op));
    return points;
}

bool inside_polygon(std::span<const Xy> polygon, Xy p) {
    bool inside = false;
    if (polygon.empty()) return inside;
    std::size_t j = polygon.size() - 1;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Xy a = polygon[i], b = polygon[j];
        if ((p.y < a.y) != (p.y < b.y)) {
            const double cross = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (p.x < cross) inside = !inside;
        }
        j = i;
    }
    return inside;
}

bool hopeless_polygon(std::span<const Xy> polygon, double x0, double x1, double y0, double y1, std::uint64_t n) {
    if (n == 0 || polygon.empty()) return false;
    // In box units (the box is the unit square), so no product overflows.
    const double w = x1 - x0, h = y1 - y0;
    const double u0 = (polygon[0].x - x0) / w, v0 = (polygon[0].y - y0) / h;
    double fan = 0.0;
    for (std::size_t i = 0; i + 1 < polygon.size(); ++i) {
        const Xy& a = polygon[i];
        const Xy& b = polygon[i + 1];
        if (std::isnan(b.x) || std::isnan(b.y)) return false;
        const double au = (a.x - x0) / w - u0, av = (a.y - y0) / h - v0;
        const double bu = (b.x - x0) / w - u0, bv = (b.y - y0) / h - v0;
        fan += 0.5 * std::fabs(au * bv - av * bu);
    }
    if (std::isnan(u0) || std::isnan(v0)) return false;
    const double rate = std::exp(1.0) * static_cast<double>(kAttemptsPerWell) * fan;  // e·B·f/n
    if (!(rate < 1.0)) return false;
    if (rate == 0.0) return true;
    return static_cast<double>(n) * std::log2(rate) < -40.0;
}

Result<std::vector<Xy>> place_wells_in_polygon(std::span<const Xy> polygon, std::uint64_t n, std::uint64_t seed) {
    constexpr const char* op = "place_wells_in_polygon";
    if (polygon.size() < 3) return reject(op, "polygon needs >= 3 vertices");
    // Folds from ±infinity; a NaN coordinate fails every comparison and is ignored.
    double x0 = kInf, y0 = kInf, x1 = -kInf, y1 = -kInf;
    for (const Xy& v : polygon) {
        if (v.x < x0) x0 = v.x;
        if (v.x > x1) x1 = v.x;
        if (v.y < y0) y0 = v.y;
        if (v.y > y1) y1 = v.y;
    }
    if (!(usable_range(x0, x1) && usable_range(y0, y1))) return reject(op, "polygon bounding box is degenerate");
    if (hopeless_polygon(polygon, x0, x1, y0, y1, n)) return reject(op, "polygon has zero area");
    auto points = reserve_points(op, n);
    if (!points) return points;
    Rng rng = seeded_rng(seed);
    if (n == 0) return points;
    std::uint64_t budget = 0;
    if (__builtin_mul_overflow(n, kAttemptsPerWell, &budget)) budget = UINT64_MAX;
    // The banded test gives the plain test's answers; without the memory for
    // its bands the plain test serves.
    std::optional<PolygonIndex> index;
    try {
        index.emplace(polygon, y0, y1);
    } catch (const std::bad_alloc&) {
    }
    std::uint64_t attempts = 0;
    StopCheck stop;  // an attempt takes tens of nanoseconds: asked between runs of 4096
    for (;;) {
        if (stop()) return fail(AlgoError::interrupted(op));
        for (int run = 0; run < 4096; ++run) {
            if (attempts == budget) return reject(op, "could not place all wells (polygon area too small?)");
            const double x = uniform_between(rng, x0, x1);
            const double y = uniform_between(rng, y0, y1);
            ++attempts;
            if (!(index ? index->inside({x, y}) : inside_polygon(polygon, {x, y}))) continue;
            points->push_back({x, y});
            if (points->size() == n) return points;
        }
    }
}

}  // namespace zaviktools
