// The Python class Georef: a world-frame origin for placing synthetic assets.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/lattice.hpp"
#include "frame/classes.hpp"
#include "frame/entry.hpp"
#include "frame/result.hpp"
#include "synth/georef.hpp"

namespace zk = zaviktools;
using zk::Georef;

namespace {
using Point2 = std::array<double, 2>;

Point2 to_point(zk::Xy p) { return {p.x, p.y}; }
}  // namespace

ZK_CONSTRUCTOR(Georef, "Georef(east0=None, north0=None)",
               "A fictional **world-frame** origin (a UTM-style easting/northing) for placing a\n"
               "synthetic asset in the world — the default posture (the frame escapes the\n"
               "testing doctrine feeds trace to fixtures built in one tidy local frame). In\n"
               "zavikTools the georeference *is* the `Lattice`; `Georef` is a convenience over\n"
               "that: it builds a world-placed `Lattice` and translates locally-built points\n"
               "into the same frame. `Georef()` uses the documented fictional origin;\n"
               "`Georef(east0, north0)` a chosen one.") {
    std::optional<double> east0, north0;
    if (!args.parse(east0, north0)) return nullptr;
    if (!east0 && !north0) return zkpy::wrap(Georef{});
    if (!east0 || !north0) {
        return zkpy::raise_value_error("Georef: pass both east0 and north0, or neither (fictional default)");
    }
    auto g = Georef::create(*east0, *north0);
    if (!g) return zkpy::to_pyerr(std::move(g).error());
    return zkpy::wrap(*g);
}

ZK_METHOD(Georef, origin, "origin($self)", "The origin as an `[east, north]` world point.") {
    if (!args.parse()) return nullptr;
    const Georef& g = zkpy::self_of<Georef>(args.self());
    return zkpy::to_py(Point2{g.east0(), g.north0()});
}

ZK_METHOD(Georef, lattice, "lattice($self, xinc, yinc, ncol, nrow, rotation_deg=0.0, yflip=False)",
          "A world-placed `Lattice` of `ncol × nrow` nodes at spacing `(xinc, yinc)`,\n"
          "node `(0, 0)` pinned to this origin.") {
    double xinc = 0.0, yinc = 0.0, rotation_deg = 0.0;
    std::uint64_t ncol = 0, nrow = 0;
    bool yflip = false;
    if (!args.parse(xinc, yinc, ncol, nrow, rotation_deg, yflip)) return nullptr;
    auto lat = zkpy::self_of<Georef>(args.self()).lattice(xinc, yinc, ncol, nrow, rotation_deg, yflip);
    if (!lat) return zkpy::to_pyerr(std::move(lat).error());
    return zkpy::wrap(*lat);
}

ZK_METHOD(Georef, place_point, "place_point($self, local)",
          "Translate a local `[x, y]` (from `(0, 0)`) into this world frame.") {
    Point2 local{};
    if (!args.parse(local)) return nullptr;
    return zkpy::to_py(to_point(zkpy::self_of<Georef>(args.self()).place_point({local[0], local[1]})));
}

ZK_METHOD(Georef, place_points, "place_points($self, locals)",
          "Translate a list of local `[x, y]` points into this world frame.") {
    std::vector<Point2> locals;
    if (!args.parse(locals)) return nullptr;
    const Georef& g = zkpy::self_of<Georef>(args.self());
    std::vector<Point2> out;
    out.reserve(locals.size());
    for (const Point2& p : locals) out.push_back(to_point(g.place_point({p[0], p[1]})));
    return zkpy::to_py(out);
}

ZK_METHOD(Georef, place_intrinsic, "place_intrinsic($self, intrinsic, rotation_deg=0.0, yflip=False)",
          "Place a local point through a rotated/flipped intrinsic frame.") {
    Point2 intrinsic{};
    double rotation_deg = 0.0;
    bool yflip = false;
    if (!args.parse(intrinsic, rotation_deg, yflip)) return nullptr;
    auto p = zkpy::self_of<Georef>(args.self()).place_intrinsic({intrinsic[0], intrinsic[1]}, rotation_deg, yflip);
    if (!p) return zkpy::to_pyerr(std::move(p).error());
    return zkpy::to_py(to_point(*p));
}

namespace {

PyMethodDef georef_methods[] = {
    ZK_MDEF(Georef, origin),       ZK_MDEF(Georef, lattice),         ZK_MDEF(Georef, place_point),
    ZK_MDEF(Georef, place_points), ZK_MDEF(Georef, place_intrinsic), {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef georef_getset[] = {
    {"east0", zkpy::get_member<Georef, &Georef::east0>,
     nullptr, "World easting of the origin.", nullptr},
    {"north0", zkpy::get_member<Georef, &Georef::north0>,
     nullptr, "World northing of the origin.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

void georef_fields(const Georef& g, zkpy::FieldBytes& k) { k.add(g.east0(), g.north0()); }

PyObject* georef_repr(PyObject* self) {
    return zkpy::guarded([&] { return zkpy::to_py(zk::georef_repr(zkpy::self_of<Georef>(self))); });
}

}  // namespace

PyObject* zkpy_class_Georef() {
    static const zkpy::ClassDef def{"zaviktools._zaviktools.Georef", "Georef", zkc_Georef_doc, zkc_Georef_new,
                                    georef_methods, georef_getset, zkpy::guarded_slot<&georef_repr>,
                                    zkpy::value_slots<Georef, &georef_fields>()};
    return zkpy::make_class<Georef>(def);
}
