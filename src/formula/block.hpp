// Formula blocks: lines in any order, evaluated in dependency order.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/error.hpp"
#include "formula/assignment.hpp"
#include "formula/eval_context.hpp"

namespace zaviktools {

// One output of a block evaluation.
struct FormulaColumn {
    std::string name;
    std::vector<double> values;
};

// Kahn's order with a first-in-first-out queue: lines that use no other line
// first, in source order, then each line as its last dependency is emitted.
Result<std::vector<std::size_t>> evaluation_order(const std::vector<Assignment>& assignments);

// Every output in source order, all of the common length (1 when no vector
// was looked up), each a whole column. Nothing is returned when any line fails.
Result<std::vector<FormulaColumn>> evaluate_assignments(const std::vector<Assignment>& assignments,
                                                        const PropertyMap& properties, const ParamMap& params,
                                                        LoopIsa isa = LoopIsa::Best);

struct FormulaBlock {
    std::vector<Assignment> assignments;
    std::vector<std::size_t> order;

    static Result<FormulaBlock> parse(const std::vector<std::string>& lines);

    std::vector<std::string> outputs() const;
    std::vector<std::string> evaluation_order() const;
    std::vector<std::string> params() const;
    std::vector<std::string> property_dependencies() const;
    Result<std::vector<FormulaColumn>> evaluate(const PropertyMap& properties, const ParamMap& params) const;
};

}  // namespace zaviktools
