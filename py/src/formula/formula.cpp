// formula_info, evaluate_formula.
#include <string>
#include <vector>

#include "formula/block.hpp"
#include "frame/interrupt.hpp"
#include "frame/dict.hpp"
#include "frame/entry.hpp"
#include "frame/result.hpp"

namespace zk = zaviktools;

namespace {

// A list of floats built straight from the doubles.
PyObject* float_list(const std::vector<double>& v) {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(v.size()));
    if (!list) return nullptr;
    zkpy::SignalCheck stop(1);  // long columns stop on Ctrl-C
    const bool built = zk::run_chunked(stop, v.size(), 4096, [&](std::size_t i) {
        PyObject* f = PyFloat_FromDouble(v[i]);
        if (f) PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), f);
        return f != nullptr;
    });
    if (!built) {
        Py_DECREF(list);
        return nullptr;
    }
    return list;
}

// Outputs keyed by name, in source order; each native column is released as
// soon as its list exists, which keeps the peak memory near one copy.
PyObject* columns_to_dict(std::vector<zk::FormulaColumn>& columns) {
    zkpy::Ref dict(PyDict_New());
    if (!dict) return nullptr;
    zkpy::SignalCheck stop(64);
    for (zk::FormulaColumn& c : columns) {
        if (stop()) return nullptr;
        zkpy::Ref key(zkpy::to_py(c.name));
        zkpy::Ref list(float_list(c.values));
        if (!key || !list || PyDict_SetItem(dict.get(), key.get(), list.get()) != 0) return nullptr;
        std::vector<double>().swap(c.values);
    }
    return dict.release();
}

}  // namespace

ZK_FUNCTION(formula_info, "formula_info(assignments)",
            "Inspect a formula block without evaluating it.\n\n"
            "Returns sorted dependency lists under `params` and `properties`, plus output\n"
            "names in source order (`outputs`) and topological evaluation order (`order`).") {
    std::vector<std::string> lines;
    if (!args.parse(lines)) return nullptr;
    auto block = zk::FormulaBlock::parse(lines);
    if (!block) return zkpy::to_pyerr(std::move(block).error());
    return zkpy::DictBuilder()
        .set("outputs", block->outputs())
        .set("order", block->evaluation_order())
        .set("params", block->params())
        .set("properties", block->property_dependencies())
        .build();
}

ZK_FUNCTION(evaluate_formula, "evaluate_formula(assignments, properties, params=None)",
            "Evaluate assignment strings over named equal-length property vectors.\n\n"
            "`$name` tokens are scalar runtime parameters from `params`; bare symbols are\n"
            "property vectors or prior assignments in the same block. Scalars broadcast.") {
    std::vector<std::string> lines;
    zk::PropertyMap properties;
    std::optional<zk::ParamMap> params;
    if (!args.parse(lines, properties, params)) return nullptr;
    auto block = zk::FormulaBlock::parse(lines);
    if (!block) return zkpy::to_pyerr(std::move(block).error());
    const zkpy::HeldSignalPoll poll;  // evaluation holds the lock
    auto result = block->evaluate(properties, params ? *params : zk::ParamMap{});
    if (!result) return zkpy::to_pyerr(std::move(result).error());
    return columns_to_dict(*result);
}
