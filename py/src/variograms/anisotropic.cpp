// Python class AnisotropicVariogram: directional ranges and major-axis azimuth.
#include <limits>
#include <string>

#include "foundation/format.hpp"
#include "frame/classes.hpp"
#include "frame/result.hpp"
#include "variograms/variogram_args.hpp"

namespace zk = zaviktools;

namespace {

PyObject* build_anisotropic(const std::string& name, double nugget, double sill, double major, double minor,
                            double vertical, double azimuth) {
    zk::VariogramModel model{};
    if (!zkpy::parse_model_or_raise(name, model)) return nullptr;
    auto v = zk::AnisotropicVariogram::create(model, nugget, sill, major, minor, vertical, azimuth);
    if (!v) return zkpy::to_pyerr(std::move(v).error());
    return zkpy::wrap(*v);
}

const zk::AnisotropicVariogram& self(PyObject* s) { return zkpy::self_of<zk::AnisotropicVariogram>(s); }

}  // namespace

ZK_CONSTRUCTOR(AnisotropicVariogram, "AnisotropicVariogram(model, major, minor, vertical, azimuth, sill=1.0, nugget=0.0)",
               "Directional variogram with horizontal major/minor ranges, vertical range,\n"
               "and major-axis azimuth in degrees clockwise from north.") {
    std::string model;
    double major = 0.0, minor = 0.0, vertical = 0.0, azimuth = 0.0, sill = 1.0, nugget = 0.0;
    if (!args.parse(model, major, minor, vertical, azimuth, sill, nugget)) return nullptr;
    return build_anisotropic(model, nugget, sill, major, minor, vertical, azimuth);
}

ZK_STATIC(AnisotropicVariogram, isotropic, "isotropic(model, nugget, sill, range)", "") {
    std::string name;
    double nugget = 0.0, sill = 0.0, range = 0.0;
    if (!args.parse(name, nugget, sill, range)) return nullptr;
    zk::VariogramModel model{};
    if (!zkpy::parse_model_or_raise(name, model)) return nullptr;
    auto v = zk::AnisotropicVariogram::isotropic(model, nugget, sill, range);
    if (!v) return zkpy::to_pyerr(std::move(v).error());
    return zkpy::wrap(*v);
}

ZK_METHOD(AnisotropicVariogram, gamma_offset, "gamma_offset($self, dx, dy, dz=0.0)",
          "Semivariance for the offset `(dx, dy, dz)` (x east, y north).") {
    double dx = 0.0, dy = 0.0, dz = 0.0;
    if (!args.parse(dx, dy, dz)) return nullptr;
    return zkpy::to_py(self(args.self()).gamma_offset(dx, dy, dz));
}

ZK_METHOD(AnisotropicVariogram, anisotropic_distance, "anisotropic_distance($self, dx, dy, dz=0.0)",
          "Reduced distance of the offset `(dx, dy, dz)`, in units of the major range's\n"
          "length scale (an offset of length `major` along the major axis has distance `major`).") {
    double dx = 0.0, dy = 0.0, dz = 0.0;
    if (!args.parse(dx, dy, dz)) return nullptr;
    return zkpy::to_py(self(args.self()).anisotropic_distance(dx, dy, dz));
}

// Pickling and copying through the public constructor. The stored azimuth is
// already normalised, so it reads back unchanged, except 360 itself (what a
// tiny negative input normalises to): the smallest negative double rebuilds it.
ZK_METHOD(AnisotropicVariogram, __reduce__, "__reduce__($self)",
          "Pickle support: `(AnisotropicVariogram, (model, major, minor, vertical, azimuth, sill, nugget))`.") {
    if (!args.parse()) return nullptr;
    const zk::AnisotropicVariogram& v = self(args.self());
    const double azimuth = v.azimuth == 360.0 ? -std::numeric_limits<double>::denorm_min() : v.azimuth;
    PyObject* ctor_args = zkpy::to_py(std::make_tuple(std::string(zkpy::model_name(v.model)), v.major, v.minor,
                                                      v.vertical, azimuth, v.sill, v.nugget));
    if (!ctor_args) return nullptr;
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(args.self()));
    return Py_BuildValue("(ON)", type, ctor_args);
}

namespace {

PyMethodDef anisotropic_methods[] = {ZK_MDEF(AnisotropicVariogram, __reduce__), ZK_MDEF(AnisotropicVariogram, isotropic),
                                     ZK_MDEF(AnisotropicVariogram, gamma_offset),
                                     ZK_MDEF(AnisotropicVariogram, anisotropic_distance),
                                     {nullptr, nullptr, 0, nullptr}};

#define ZK_ANISO_GETTER(field, doc) \
    {#field, zkpy::get_member<zk::AnisotropicVariogram, &zk::AnisotropicVariogram::field>, nullptr, doc, nullptr}

PyGetSetDef anisotropic_getset[] = {
    ZK_ANISO_GETTER(nugget, "Nugget `c₀`."),
    ZK_ANISO_GETTER(sill, "Partial sill `c`."),
    ZK_ANISO_GETTER(major, "Range along the major horizontal axis."),
    ZK_ANISO_GETTER(minor, "Range along the minor horizontal axis."),
    ZK_ANISO_GETTER(vertical, "Vertical range."),
    ZK_ANISO_GETTER(azimuth, "Major-axis azimuth in degrees clockwise from north, in `[0, 360)`."),
    {"model", zkpy::get_model_name<zk::AnisotropicVariogram>, nullptr, zkpy::kModelDoc, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

#undef ZK_ANISO_GETTER

void anisotropic_fields(const zk::AnisotropicVariogram& v, zkpy::FieldBytes& k) {
    k.add(v.model, v.nugget, v.sill, v.major, v.minor, v.vertical, v.azimuth);
}

PyObject* anisotropic_repr(PyObject* s) {
    const zk::AnisotropicVariogram& v = self(s);
    const std::string text = "AnisotropicVariogram(major=" + zk::fmt_num(v.major) + ", minor=" + zk::fmt_num(v.minor) +
                             ", vertical=" + zk::fmt_num(v.vertical) + ", azimuth=" + zk::fmt_num(v.azimuth) +
                             ", nugget=" + zk::fmt_num(v.nugget) + ", sill=" + zk::fmt_num(v.sill) + ")";
    return zkpy::to_py(text);
}

}  // namespace

PyObject* zkpy_class_AnisotropicVariogram() {
    static const zkpy::ClassDef def{"zaviktools._zaviktools.AnisotropicVariogram", "AnisotropicVariogram",
                                    zkc_AnisotropicVariogram_doc, zkc_AnisotropicVariogram_new,
                                    anisotropic_methods, anisotropic_getset, zkpy::guarded_slot<&anisotropic_repr>,
                                    zkpy::value_slots<zk::AnisotropicVariogram, &anisotropic_fields>()};
    return zkpy::make_class<zk::AnisotropicVariogram>(def);
}
