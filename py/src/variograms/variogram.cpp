// Python class Variogram: an isotropic model, its static constructors and the
// least-squares fit to an ExperimentalVariogram.
#include <string>

#include "foundation/format.hpp"
#include "frame/classes.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "variograms/experimental_class.hpp"
#include "variograms/fit.hpp"
#include "variograms/variogram_args.hpp"

namespace zk = zaviktools;

namespace {

// (model, nugget, sill, range) -> a new Variogram; shared by the constructor
// and the static `isotropic`.
PyObject* variogram_from_args(zkpy::Args& args) {
    std::string name;
    double nugget = 0.0, sill = 0.0, range = 0.0;
    if (!args.parse(name, nugget, sill, range)) return nullptr;
    zk::VariogramModel model{};
    if (!zkpy::parse_model_or_raise(name, model)) return nullptr;
    auto v = zk::Variogram::create(model, nugget, sill, range);
    if (!v) return zkpy::to_pyerr(std::move(v).error());
    return zkpy::wrap(*v);
}

}  // namespace

ZK_CONSTRUCTOR(Variogram, "Variogram(model, nugget, sill, range)",
               "A fully-specified variogram: a model shape plus `nugget` `c₀`, partial `sill`\n"
               "`c`, and `range` `a`. Build directly (`Variogram(model, nugget, sill,\n"
               "range)`) or infer with `Variogram.fit(model, experimental)`. For the\n"
               "exponential/Gaussian models `range` is the *practical* range (95 % of sill).") {
    return variogram_from_args(args);
}

ZK_STATIC(Variogram, isotropic, "isotropic(model, nugget, sill, range)",
          "The same `Variogram` as `Variogram(model, nugget, sill, range)`.") {
    return variogram_from_args(args);
}

ZK_STATIC(Variogram, fit, "fit(model, experimental)",
          "Fit `(nugget, sill, range)` of `model` to an `ExperimentalVariogram` by\n"
          "pair-count weighted least squares (closed-form nugget+sill for each\n"
          "candidate range, range by grid search). The grid-search fit runs with the\n"
          "GIL released.") {
    std::string name;
    zkpy::Instance<zkpy::ExperimentalVariogramObject> experimental;
    if (!args.parse(name, experimental)) return nullptr;
    zk::VariogramModel model{};
    if (!zkpy::parse_model_or_raise(name, model)) return nullptr;
    const zk::ExperimentalVariogram& ev = experimental->value;
    auto v = zkpy::without_gil([&] { return zk::Variogram::fit(model, ev); });
    if (!v) return zkpy::to_pyerr(std::move(v).error());
    return zkpy::wrap(*v);
}

// Pickling and copying: the public constructor rebuilds the same value (every
// stored Variogram passed its validation once, so it passes again).
ZK_METHOD(Variogram, __reduce__, "__reduce__($self)",
          "Pickle support: `(Variogram, (model, nugget, sill, range))`.") {
    if (!args.parse()) return nullptr;
    const zk::Variogram& v = zkpy::self_of<zk::Variogram>(args.self());
    PyObject* ctor_args = zkpy::to_py(std::make_tuple(std::string(zkpy::model_name(v.model)), v.nugget, v.sill, v.range));
    if (!ctor_args) return nullptr;
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(args.self()));
    return Py_BuildValue("(ON)", type, ctor_args);
}

namespace {

PyMethodDef variogram_methods[] = {ZK_MDEF(Variogram, isotropic), ZK_MDEF(Variogram, fit), ZK_MDEF(Variogram, __reduce__),
                                   {nullptr, nullptr, 0, nullptr}};

const zk::Variogram& self(PyObject* s) { return zkpy::self_of<zk::Variogram>(s); }

PyGetSetDef variogram_getset[] = {
    {"nugget", zkpy::get_member<zk::Variogram, &zk::Variogram::nugget>, nullptr,
     "Nugget `c₀`.", nullptr},
    {"sill", zkpy::get_member<zk::Variogram, &zk::Variogram::sill>, nullptr,
     "Partial sill `c` (the rise above the nugget).", nullptr},
    {"range", zkpy::get_member<zk::Variogram, &zk::Variogram::range>, nullptr,
     "Range `a` (the practical range for the exponential and Gaussian models).", nullptr},
    {"model", zkpy::get_model_name<zk::Variogram>, nullptr, zkpy::kModelDoc, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

void variogram_fields(const zk::Variogram& v, zkpy::FieldBytes& k) { k.add(v.model, v.nugget, v.sill, v.range); }

PyObject* variogram_repr(PyObject* s) {
    const zk::Variogram& v = self(s);
    const std::string text = "Variogram(nugget=" + zk::fmt_num(v.nugget) + ", sill=" + zk::fmt_num(v.sill) +
                             ", range=" + zk::fmt_num(v.range) + ")";
    return zkpy::to_py(text);
}

}  // namespace

PyObject* zkpy_class_Variogram() {
    static const zkpy::ClassDef def{"zaviktools._zaviktools.Variogram", "Variogram", zkc_Variogram_doc,
                                    zkc_Variogram_new, variogram_methods, variogram_getset,
                                    zkpy::guarded_slot<&variogram_repr>,
                                    zkpy::value_slots<zk::Variogram, &variogram_fields>()};
    return zkpy::make_class<zk::Variogram>(def);
}
