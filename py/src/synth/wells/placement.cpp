// place_wells, place_wells_in_polygon.
#include <array>
#include <cstdint>
#include <vector>

#include "frame/budget.hpp"
#include "frame/entry.hpp"
#include "frame/interrupt.hpp"
#include "frame/result.hpp"
#include "synth/wells/placement.hpp"

namespace zk = zaviktools;

namespace {

using Point2 = std::array<double, 2>;

// Holds the cyclic collector off while a result of many small lists is built:
// the new lists cannot form cycles, yet every 700 of them would trigger a
// collection pass. The previous state is restored; the lock is held throughout.
class CollectorPause {
public:
    CollectorPause() : was_enabled_(PyGC_Disable() == 1) {}
    ~CollectorPause() {
        if (was_enabled_) PyGC_Enable();
    }
    CollectorPause(const CollectorPause&) = delete;
    CollectorPause& operator=(const CollectorPause&) = delete;

private:
    bool was_enabled_;
};

PyObject* points_to_py(zk::Result<std::vector<zk::Xy>>&& r) {
    if (!r) return zkpy::to_pyerr(std::move(r).error());
    CollectorPause pause;
    PyObject* list = zkpy::new_hidden_list(r->size());
    if (!list) return nullptr;
    zkpy::SignalCheck stop(1);  // a long list stops on Ctrl-C
    const bool built = zk::run_chunked(stop, r->size(), 1024, [&](std::size_t k) {
        PyObject* p = zkpy::to_py(Point2{(*r)[k].x, (*r)[k].y});
        if (p) PyList_SET_ITEM(list, static_cast<Py_ssize_t>(k), p);
        return p != nullptr;
    });
    if (!built) {
        Py_DECREF(list);
        return nullptr;
    }
    PyObject_GC_Track(list);
    return list;
}

// n wells: 16 bytes each natively, then a list of [x, y] lists.
bool wells_fit(const char* what, std::uint64_t n) {
    const std::uint64_t native = zkpy::sat_mul(n, sizeof(zk::Xy));
    return zkpy::fits_in_memory(what, {zkpy::sat_add(native, zkpy::points_list(n)), native});
}

std::vector<zk::Xy> to_xy(const std::vector<Point2>& points) {
    std::vector<zk::Xy> out;
    out.reserve(points.size());
    for (const Point2& p : points) out.push_back({p[0], p[1]});
    return out;
}

}  // namespace

ZK_FUNCTION(place_wells, "place_wells(xmin, ymin, xmax, ymax, n, seed)",
            "Place `n` seeded uniform-random well heads inside the rectangular extent\n"
            "`(xmin, ymin, xmax, ymax)`. Returns `[x, y]` 2-lists. Seeded/reproducible.") {
    double xmin = 0.0, ymin = 0.0, xmax = 0.0, ymax = 0.0;
    std::uint64_t n = 0, seed = 0;
    if (!args.parse(xmin, ymin, xmax, ymax, n, seed)) return nullptr;
    if (!wells_fit("place_wells", n)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the draws hold the lock
    return points_to_py(zk::place_wells({xmin, ymin, xmax, ymax}, n, seed));
}

ZK_FUNCTION(place_wells_in_polygon, "place_wells_in_polygon(polygon, n, seed)",
            "Place `n` seeded uniform-random well heads inside `polygon` (`[x, y]` 2-lists,\n"
            "implicitly closed), by rejection sampling. Returns `[x, y]` 2-lists.") {
    std::vector<Point2> polygon;
    std::uint64_t n = 0, seed = 0;
    if (!args.parse(polygon, n, seed)) return nullptr;
    if (!wells_fit("place_wells_in_polygon", n)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the rejection loop holds the lock
    return points_to_py(zk::place_wells_in_polygon(to_xy(polygon), n, seed));
}
