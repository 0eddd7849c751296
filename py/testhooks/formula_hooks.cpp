// A formula block evaluated the reference way: whole native columns, the
// baseline instruction set, then converted to lists. evaluate_formula must
// give the same bits.
#include <optional>
#include <string>
#include <vector>

#include "formula/block.hpp"
#include "frame/dict.hpp"
#include "frame/entry.hpp"
#include "frame/ref.hpp"
#include "frame/result.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(formula_columns, "formula_columns(assignments, properties, params=None)", "") {
    std::vector<std::string> lines;
    zk::PropertyMap properties;
    std::optional<zk::ParamMap> params;
    if (!args.parse(lines, properties, params)) return nullptr;
    auto block = zk::FormulaBlock::parse(lines);
    if (!block) return zkpy::to_pyerr(std::move(block).error());
    auto columns = zk::evaluate_assignments(block->assignments, properties, params ? *params : zk::ParamMap{},
                                            zk::LoopIsa::Baseline);
    if (!columns) return zkpy::to_pyerr(std::move(columns).error());
    zkpy::Ref dict(PyDict_New());
    if (!dict) return nullptr;
    for (const zk::FormulaColumn& c : *columns) {
        zkpy::Ref key(zkpy::to_py(c.name)), list(zkpy::to_py(c.values));
        if (!key || !list || PyDict_SetItem(dict.get(), key.get(), list.get()) != 0) return nullptr;
    }
    return dict.release();
}
