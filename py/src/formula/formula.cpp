// formula_info, evaluate_formula.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "formula/block.hpp"
#include "frame/budget.hpp"
#include "frame/dict.hpp"
#include "frame/entry.hpp"
#include "frame/interrupt.hpp"
#include "frame/result.hpp"
#include "frame/pyerr.hpp"

namespace zk = zaviktools;

namespace {

// Outputs keyed by name, in source order; each native column is released as
// soon as its list exists, which keeps the peak memory near one copy.
PyObject* columns_to_dict(std::vector<zk::FormulaColumn>& columns) {
    zkpy::Ref dict(PyDict_New());
    if (!dict) return nullptr;
    zkpy::SignalCheck stop(64);
    for (zk::FormulaColumn& c : columns) {
        if (stop()) return nullptr;
        zkpy::Ref key(zkpy::to_py(c.name));
        zkpy::Ref list(zkpy::to_py(c.values));  // a long column stops on Ctrl-C
        if (!key || !list || PyDict_SetItem(dict.get(), key.get(), list.get()) != 0) return nullptr;
        std::vector<double>().swap(c.values);
    }
    return dict.release();
}

// A shape mismatch names no property (its text is fixed), so the raised
// error gets a note with the lengths of the block's properties when they
// differ: "the block's properties differ in length: a has 3, b has 4".
PyObject* shape_error(zk::AlgoError error, const zk::FormulaBlock& block, const zk::PropertyMap& properties) {
    const bool shape = error.kind() == zk::AlgoError::Kind::InvalidArgument &&
                       error.payload().starts_with("formula shape mismatch");
    zkpy::to_pyerr(std::move(error));
    if (!shape) return nullptr;
    std::string lengths;
    bool differ = false;
    std::size_t first = 0;
    for (const std::string& name : block.property_dependencies()) {
        const auto it = properties.find(name);
        if (it == properties.end()) continue;
        const std::size_t n = it->second.size();
        if (lengths.empty()) first = n;
        differ = differ || n != first;
        lengths += (lengths.empty() ? "" : ", ") + name + " has " + std::to_string(n);
    }
    if (differ) zkpy::note_pending_error(("the block's properties differ in length: " + lengths).c_str());
    return nullptr;
}

// Each output is a column of the properties' length, and evaluation holds a
// few temporaries of that length; the columns then become lists of floats,
// each native column released as its list is built.
bool outputs_fit(const zk::FormulaBlock& block, const zk::PropertyMap& properties) {
    std::uint64_t n = 1;
    for (const auto& [name, values] : properties) n = std::max<std::uint64_t>(n, values.size());
    const std::uint64_t outputs = block.outputs().size();
    const std::uint64_t native = zkpy::sat_mul(zkpy::sat_add(outputs, 2), zkpy::sat_mul(n, 8));
    const std::uint64_t lists = zkpy::sat_add(zkpy::sat_mul(outputs, zkpy::float_list(n)), zkpy::sat_mul(n, 8));
    return zkpy::fits_in_memory("evaluate_formula", {std::max(native, lists), 0});
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
    if (!outputs_fit(*block, properties)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // evaluation holds the lock
    auto result = block->evaluate(properties, params ? *params : zk::ParamMap{});
    if (!result) return shape_error(std::move(result).error(), *block, properties);
    return columns_to_dict(*result);
}
