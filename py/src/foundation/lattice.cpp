// The Python class Lattice: one core Lattice value, read-only.
#include <array>
#include <cstdint>
#include <string>
#include <tuple>

#include "foundation/lattice.hpp"
#include "frame/classes.hpp"
#include "frame/entry.hpp"
#include "frame/result.hpp"

namespace zk = zaviktools;
using zk::Lattice;

namespace {

PyObject* xy_tuple(zk::Xy p) { return zkpy::to_py(std::make_tuple(p.x, p.y)); }

PyObject* ij_or_none(std::optional<zk::Ij> ij) {
    if (!ij) Py_RETURN_NONE;
    return zkpy::to_py(std::make_tuple(ij->fi, ij->fj));
}

// node_xy and xy_to_ij share one description.
#define ZK_LATTICE_ALIAS_DOC                                                                     \
    "Compatibility aliases matching the core geometry vocabulary: `node_xy(i, j)` is\n"          \
    "`intrinsic_to_world` on integer nodes, `xy_to_ij(x, y)` is `world_to_intrinsic`\n"          \
    "(fractional, not rounded)."

}  // namespace

ZK_CONSTRUCTOR(Lattice, "Lattice(xori, yori, xinc, yinc, ncol, nrow, rotation_deg=0.0, yflip=False)",
               "A regular 2-D lattice — the target grid geometry. Optional intrinsic\n"
               "`rotation_deg` (CCW from east to I) and `yflip` preserve the historic\n"
               "axis-aligned constructor defaults. World units throughout.") {
    double xori = 0.0, yori = 0.0, xinc = 0.0, yinc = 0.0, rotation_deg = 0.0;
    std::uint64_t ncol = 0, nrow = 0;
    bool yflip = false;
    if (!args.parse(xori, yori, xinc, yinc, ncol, nrow, rotation_deg, yflip)) return nullptr;
    auto lat = Lattice::create(ncol, nrow, yflip, xori, yori, xinc, yinc, rotation_deg);
    if (!lat) return zkpy::to_pyerr(std::move(lat).error());
    return zkpy::wrap(*lat);
}

ZK_METHOD(Lattice, node_xy, "node_xy($self, i, j)", ZK_LATTICE_ALIAS_DOC) {
    std::uint64_t i = 0, j = 0;
    if (!args.parse(i, j)) return nullptr;
    return xy_tuple(zkpy::self_of<Lattice>(args.self()).node_xy(i, j));
}

ZK_METHOD(Lattice, intrinsic_to_world, "intrinsic_to_world($self, fi, fj)",
          "Exact fractional intrinsic `(i, j)` to world `(x, y)` transform.") {
    double fi = 0.0, fj = 0.0;
    if (!args.parse(fi, fj)) return nullptr;
    return xy_tuple(zkpy::self_of<Lattice>(args.self()).intrinsic_to_world(fi, fj));
}

ZK_METHOD(Lattice, world_to_intrinsic, "world_to_intrinsic($self, x, y)",
          "Exact world `(x, y)` to fractional intrinsic `(i, j)` transform.") {
    double x = 0.0, y = 0.0;
    if (!args.parse(x, y)) return nullptr;
    return ij_or_none(zkpy::self_of<Lattice>(args.self()).world_to_intrinsic(x, y));
}

ZK_METHOD(Lattice, xy_to_ij, "xy_to_ij($self, x, y)", ZK_LATTICE_ALIAS_DOC) {
    double x = 0.0, y = 0.0;
    if (!args.parse(x, y)) return nullptr;
    return ij_or_none(zkpy::self_of<Lattice>(args.self()).xy_to_ij(x, y));
}

ZK_METHOD(Lattice, step_vectors, "step_vectors($self)",
          "Exact world-coordinate step vectors for positive intrinsic I and J.") {
    if (!args.parse()) return nullptr;
    const zk::StepVectors sv = zkpy::self_of<Lattice>(args.self()).step_vectors();
    return zkpy::to_py(std::make_tuple(std::array<double, 2>{sv.i.x, sv.i.y}, std::array<double, 2>{sv.j.x, sv.j.y}));
}

namespace {

PyMethodDef lattice_methods[] = {
    ZK_MDEF(Lattice, node_xy),      ZK_MDEF(Lattice, intrinsic_to_world), ZK_MDEF(Lattice, world_to_intrinsic),
    ZK_MDEF(Lattice, xy_to_ij),     ZK_MDEF(Lattice, step_vectors),       {nullptr, nullptr, 0, nullptr},
};

template <auto M>
constexpr getter get = zkpy::get_member<Lattice, M>;

PyGetSetDef lattice_getset[] = {
    {"xori", get<&Lattice::xori>, nullptr, "World x of node (0, 0).", nullptr},
    {"yori", get<&Lattice::yori>, nullptr, "World y of node (0, 0).", nullptr},
    {"xinc", get<&Lattice::xinc>, nullptr, "Node spacing along the intrinsic I axis (columns).", nullptr},
    {"yinc", get<&Lattice::yinc>, nullptr, "Node spacing along the intrinsic J axis (rows).", nullptr},
    {"ncol", get<&Lattice::ncol>, nullptr, "Number of nodes along I.", nullptr},
    {"nrow", get<&Lattice::nrow>, nullptr, "Number of nodes along J.", nullptr},
    {"rotation_deg", get<&Lattice::rotation_deg>, nullptr,
     "Rotation of the I axis in degrees counter-clockwise from east, as normalised at\n"
     "construction: the remainder of the given angle by 360, plus 360 when negative.",
     nullptr},
    {"yflip", get<&Lattice::yflip>, nullptr, "True when the J axis is reversed (left-handed frame).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

void lattice_fields(const Lattice& l, zkpy::FieldBytes& k) {
    k.add(l.xori(), l.yori(), l.xinc(), l.yinc(), l.ncol(), l.nrow(), l.rotation_deg(), l.yflip());
}

PyObject* lattice_repr(PyObject* self) {
    return zkpy::guarded([&] { return zkpy::to_py(zk::lattice_repr(zkpy::self_of<Lattice>(self))); });
}

}  // namespace

PyObject* zkpy_class_Lattice() {
    static const zkpy::ClassDef def{"zaviktools._zaviktools.Lattice", "Lattice", zkc_Lattice_doc, zkc_Lattice_new,
                                    lattice_methods, lattice_getset, zkpy::guarded_slot<&lattice_repr>,
                                    zkpy::value_slots<Lattice, &lattice_fields>()};
    return zkpy::make_class<Lattice>(def);
}
