// formula_info, evaluate_formula.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "formula/block.hpp"
#include "formula/stream.hpp"
#include "frame/budget.hpp"
#include "frame/dict.hpp"
#include "frame/entry.hpp"
#include "frame/interrupt.hpp"
#include "frame/result.hpp"
#include "frame/pyerr.hpp"

namespace zk = zaviktools;

namespace {

// Builds the result lists as the block runs: each chunk of every output
// becomes floats while it is still in cache, and no output exists as a whole
// native column.
class ListSink final : public zk::ChunkSink {
public:
    ListSink(const zk::CompiledBlock& block, std::vector<zkpy::Ref>& lists)
        : block_(block), lists_(lists), recent_(lists.size()) {}

    bool take(std::size_t begin, std::size_t end, const double* const* values) override {
        const std::size_t m = end - begin;
        for (std::size_t i = 0; i < lists_.size(); ++i) {
            PyObject* list = lists_[i].get();
            const auto at = static_cast<Py_ssize_t>(begin);
            const bool filled = values[i] ? zkpy::fill_floats(list, at, values[i], m, recent_[i])
                                          : fill_scalar(list, at, block_.programs[i].scalar, m);
            if (!filled) return false;
        }
        return true;
    }

private:
    // One float shared by the chunk's slots, as fill_floats shares equal values.
    static bool fill_scalar(PyObject* list, Py_ssize_t at, double value, std::size_t m) {
        if (m == 0) return true;
        PyObject* f = PyFloat_FromDouble(value);
        if (!f) return false;
        for (std::size_t k = 0; k < m; ++k) {
            if (k > 0) Py_INCREF(f);
            PyList_SET_ITEM(list, at + static_cast<Py_ssize_t>(k), f);
        }
        return true;
    }

    const zk::CompiledBlock& block_;
    std::vector<zkpy::Ref>& lists_;
    std::vector<zkpy::RecentFloats> recent_;  // one per list
};

// Outputs keyed by name, in source order, each a list of the block's length.
PyObject* evaluate_to_dict(const zk::FormulaBlock& block, const zk::CompiledBlock& compiled) {
    std::vector<zkpy::Ref> lists;
    lists.reserve(block.assignments.size());
    for (std::size_t i = 0; i < block.assignments.size(); ++i) {
        lists.emplace_back(zkpy::new_hidden_list(compiled.length));
        if (!lists.back()) return nullptr;
    }
    ListSink sink(compiled, lists);
    auto done = zk::stream_block(compiled, sink);
    if (!done) return zkpy::to_pyerr(std::move(done).error());
    if (!*done) return nullptr;  // a float could not be made: MemoryError is set
    for (zkpy::Ref& list : lists) PyObject_GC_Track(list.get());
    zkpy::Ref dict(PyDict_New());
    if (!dict) return nullptr;
    for (std::size_t i = 0; i < lists.size(); ++i) {
        zkpy::Ref key(zkpy::to_py(block.assignments[i].name));
        if (!key || PyDict_SetItem(dict.get(), key.get(), lists[i].get()) != 0) return nullptr;
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

// Each output is a list of floats of the block's length; evaluation holds
// only a chunk of each output at a time.
bool outputs_fit(const zk::FormulaBlock& block, const zk::CompiledBlock& compiled) {
    const std::uint64_t outputs = block.assignments.size();
    const std::uint64_t native = zkpy::sat_mul(zkpy::sat_add(outputs, compiled.max_depth),
                                               zkpy::sat_mul(zk::stream_chunk(compiled), 8));
    const std::uint64_t lists = zkpy::sat_mul(outputs, zkpy::float_list(compiled.length));
    return zkpy::fits_in_memory("evaluate_formula", {zkpy::sat_add(lists, native), 0});
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
    const zk::ParamMap no_params;
    auto compiled = zk::compile_block(block->assignments, properties, params ? *params : no_params);
    if (!compiled) return shape_error(std::move(compiled).error(), *block, properties);
    if (!outputs_fit(*block, *compiled)) return nullptr;
    return evaluate_to_dict(*block, *compiled);
}
