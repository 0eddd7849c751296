// A probe class exercising the class machinery: constructor, getter, method,
// exclusive and shared borrows.
#include <cstdint>

#include "frame/classes.hpp"
#include "frame/result.hpp"

namespace {
struct Probe {
    double value;
    std::uint64_t uses;
};
}  // namespace

ZK_CONSTRUCTOR(Probe, "Probe(value, uses=0)", "A probe for the class machinery.") {
    double value = 0.0;
    std::uint64_t uses = 0;
    if (!args.parse(value, uses)) return nullptr;
    return zkpy::wrap(Probe{value, uses});
}

ZK_METHOD(Probe, scaled, "scaled($self, factor)", "value times factor.") {
    double f = 0.0;
    if (!args.parse(f)) return nullptr;
    return zkpy::to_py(zkpy::self_of<Probe>(args.self()).value * f);
}

ZK_STATIC(Probe, unit, "unit()", "A probe of value 1.") {
    if (!args.parse()) return nullptr;
    return zkpy::wrap(Probe{1.0, 0});
}

static PyMethodDef probe_methods[] = {ZK_MDEF(Probe, scaled), ZK_MDEF(Probe, unit), {nullptr, nullptr, 0, nullptr}};

static PyGetSetDef probe_getset[] = {
    {"value", [](PyObject* s, void*) -> PyObject* { return zkpy::to_py(zkpy::self_of<Probe>(s).value); }, nullptr,
     "The value.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

static PyObject* probe_class() {
    static const zkpy::ClassDef def{"zaviktools._testhooks.Probe", "Probe", zkc_Probe_doc, zkc_Probe_new,
                                    probe_methods, probe_getset, nullptr};
    return zkpy::make_class<Probe>(def);
}

ZK_FUNCTION(probe_class, "probe_class()", "The Probe class.") {
    if (!args.parse()) return nullptr;
    return probe_class();
}

// Holds an exclusive borrow of `probe` while calling `callback()`, so a test
// can try a second use from inside.
ZK_FUNCTION(use_exclusive, "use_exclusive(probe)", "") {
    zkpy::Exclusive<Probe> probe;
    if (!args.parse(probe)) return nullptr;
    probe->uses += 1;
    return zkpy::to_py(probe->uses);
}

// Takes an exclusive borrow, then tries a second (shared or exclusive) use of
// the same object, as a re-entrant or concurrent caller would.
ZK_FUNCTION(double_borrow, "double_borrow(probe, shared)", "") {
    zkpy::Exclusive<Probe> first;
    bool shared = false;
    if (!args.parse(first, shared)) return nullptr;
    if (shared) {
        zkpy::Shared<Probe> second;
        if (!zkpy::from_py(first.object(), second)) return nullptr;
    } else {
        zkpy::Exclusive<Probe> second;
        if (!zkpy::from_py(first.object(), second)) return nullptr;
    }
    Py_RETURN_NONE;
}
