// study_area_outline: a rectangle, or four quarter arcs for rounded corners.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>

#include "foundation/interrupt.hpp"
#include "synth/outline.hpp"

namespace zaviktools {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;

Ring sharp_rectangle(double xmin, double ymin, double xmax, double ymax) {
    return {{xmin, ymin}, {xmax, ymin}, {xmax, ymax}, {xmin, ymax}};
}

// The smaller of a and b, ignoring a NaN operand (NaN only when both are).
double min_ignoring_nan(double a, double b) { return std::isnan(a) ? b : std::isnan(b) ? a : std::min(a, b); }

// The corner radius: min(corner_radius, half the shorter side), NaN and
// negative values counting as 0.
double corner_radius_of(double xmin, double ymin, double xmax, double ymax, double corner_radius) {
    const double shorter = min_ignoring_nan(xmax - xmin, ymax - ymin);
    const double half = (std::isnan(shorter) ? 0.0 : std::max(shorter, 0.0)) * 0.5;
    return std::min(half, std::isnan(corner_radius) ? 0.0 : std::max(corner_radius, 0.0));
}

}  // namespace

std::uint64_t study_area_point_count(double xmin, double ymin, double xmax, double ymax, double corner_radius,
                                     std::uint64_t arc_steps) {
    if (arc_steps == 0 || !(corner_radius_of(xmin, ymin, xmax, ymax, corner_radius) > 0.0)) return 4;
    return arc_steps >= UINT64_MAX / 4 ? UINT64_MAX : 4 * (arc_steps + 1);
}

Result<Ring> study_area_outline(double xmin, double ymin, double xmax, double ymax, double corner_radius,
                                std::uint64_t arc_steps) {
    if (arc_steps == 0) return sharp_rectangle(xmin, ymin, xmax, ymax);
    const double r = corner_radius_of(xmin, ymin, xmax, ymax, corner_radius);
    if (!(r > 0.0)) return sharp_rectangle(xmin, ymin, xmax, ymax);
    if (arc_steps > kMaxArcSteps)
        return fail(AlgoError::invalid_argument("study_area_outline: arc_steps must be <= " +
                                                std::to_string(kMaxArcSteps) + " (got " +
                                                std::to_string(arc_steps) + ")"));

    struct Corner {
        double cx, cy, offset;
    };
    const Corner corners[4] = {
        {xmax - r, ymin + r, -kHalfPi},
        {xmax - r, ymax - r, 0.0},
        {xmin + r, ymax - r, kHalfPi},
        {xmin + r, ymin + r, kPi},
    };
    const double steps = static_cast<double>(arc_steps);
    Ring ring;
    try {
        ring.reserve(4 * (arc_steps + 1));
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory("study_area_outline: cannot allocate " +
                                             std::to_string(4 * (arc_steps + 1)) + " points"));
    }
    StopCheck stop;  // a point takes tens of nanoseconds: asked between runs of 4096
    for (const Corner& c : corners) {
        const bool done = run_chunked(stop, arc_steps + 1, 4096, [&](std::size_t k) {
            const double phi = (static_cast<double>(k) / steps) * kHalfPi + c.offset;
            ring.push_back({c.cx + r * std::cos(phi), c.cy + r * std::sin(phi)});
            return true;
        });
        if (!done) return fail(AlgoError::interrupted("study_area_outline"));
    }
    return ring;
}

}  // namespace zaviktools
