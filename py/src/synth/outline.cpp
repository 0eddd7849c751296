// closure_outline and study_area_outline: rings as lists of [x, y] 2-lists.
#include <cstdint>
#include <vector>

#include "foundation/lattice.hpp"
#include "frame/budget.hpp"
#include "frame/classes.hpp"
#include "frame/interrupt.hpp"
#include "frame/ref.hpp"
#include "frame/result.hpp"
#include "frame/grid.hpp"
#include "synth/outline.hpp"

namespace zk = zaviktools;

namespace {

PyObject* ring_to_py(const zk::Ring& ring) {
    zkpy::Ref list(zkpy::new_hidden_list(ring.size()));
    if (!list) return nullptr;
    zkpy::SignalCheck stop(1);  // a long ring stops on Ctrl-C
    const bool built = zk::run_chunked(stop, ring.size(), 1024, [&](std::size_t k) {
        PyObject* point = zkpy::to_py(std::array<double, 2>{ring[k].x, ring[k].y});
        if (point) PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(k), point);
        return point != nullptr;
    });
    if (!built) return nullptr;
    PyObject_GC_Track(list.get());
    return list.release();
}

}  // namespace

ZK_FUNCTION(closure_outline, "closure_outline(surface, lattice, spill_depth)",
            "The closing contour of `surface` (nested lists, `ncol × nrow`) on `lattice` at\n"
            "level `spill_depth` — the largest closed ring as `[x, y]` 2-lists (empty if the\n"
            "structure does not close at that level). Marching squares.") {
    std::vector<std::vector<double>> surface;
    zkpy::Instance<zk::Lattice> lattice;
    double spill_depth = 0.0;
    if (!args.parse(surface, lattice, spill_depth)) return nullptr;
    if (!zkpy::check_rectangular(surface, lattice->ncol(), lattice->nrow())) return nullptr;
    // The converted columns are private copies already: read them in place.
    std::vector<const double*> columns(surface.size());
    for (std::size_t i = 0; i < columns.size(); ++i) columns[i] = surface[i].data();
    const zkpy::HeldSignalPoll poll;  // the contour is traced with the lock held
    auto ring = zk::closure_outline(zk::SurfaceColumns{columns, lattice->nrow()}, *lattice, spill_depth);
    if (!ring) return zkpy::to_pyerr(std::move(ring).error());
    return ring_to_py(*ring);
}

ZK_FUNCTION(study_area_outline, "study_area_outline(xmin, ymin, xmax, ymax, corner_radius, arc_steps)",
            "A rectangular (optionally corner-rounded) study-area outline for the extent\n"
            "`(xmin, ymin, xmax, ymax)`: `corner_radius ≤ 0` ⇒ sharp corners; else each\n"
            "corner is `arc_steps` segments. Returns a closed ring of `[x, y]` 2-lists.") {
    double xmin = 0.0, ymin = 0.0, xmax = 0.0, ymax = 0.0, corner_radius = 0.0;
    std::uint64_t arc_steps = 0;
    if (!args.parse(xmin, ymin, xmax, ymax, corner_radius, arc_steps)) return nullptr;
    // Past kMaxArcSteps the core refuses the request with its own message.
    const std::uint64_t n = zk::study_area_point_count(xmin, ymin, xmax, ymax, corner_radius, arc_steps);
    const std::uint64_t native = zkpy::sat_mul(n, sizeof(zk::Xy));
    if (arc_steps <= zk::kMaxArcSteps &&
        !zkpy::fits_in_memory("study_area_outline", {zkpy::sat_add(native, zkpy::points_list(n)), native}))
        return nullptr;
    const zkpy::HeldSignalPoll poll;  // the outline is built with the lock held
    auto ring = zk::study_area_outline(xmin, ymin, xmax, ymax, corner_radius, arc_steps);
    if (!ring) return zkpy::to_pyerr(std::move(ring).error());
    return ring_to_py(*ring);
}
