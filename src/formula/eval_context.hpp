// Evaluation context of one formula block.
//
// `compile` is the first pass over a tree, in evaluation order (left operand
// before right, call name and arity before the arguments): it resolves every
// name, applies the length rule (the first vector looked up fixes the length
// of the whole block) and broadcasting, folds scalars, and reports the first
// error whole-vector evaluation would meet. Values cannot fail afterwards:
// arithmetic only ever gives infinities or NaN.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/error.hpp"
#include "formula/ast.hpp"
#include "formula/program.hpp"

namespace zaviktools {

using PropertyMap = std::map<std::string, std::vector<double>, std::less<>>;
using ParamMap = std::map<std::string, double, std::less<>>;

class EvalContext {
public:
    EvalContext(const PropertyMap& properties, const ParamMap& params) : properties_(properties), params_(params) {}

    Result<Program> compile(const Expr& expr);

    // Records an assignment's result under its name for later lines: a scalar,
    // or a vector held in computed column `column`.
    void define_scalar(const std::string& name, double value);
    void define_vector(const std::string& name, std::size_t column);

    std::optional<std::size_t> expected_length() const { return expected_; }

private:
    struct Computed {
        bool is_vector;
        double scalar;
        std::size_t column;
    };
    const PropertyMap& properties_;
    const ParamMap& params_;
    std::map<std::string, Computed, std::less<>> computed_;
    std::optional<std::size_t> expected_;
};

// Runs `program` over elements [begin, end) into out[0 .. end-begin).
// `columns[c]` is computed column c at element `begin` (a whole column or a
// chunk of it); `scratch` holds at least (program.max_depth - 1) * (end - begin)
// doubles.
// `Baseline` keeps to the baseline instruction set even where AVX2 runs
// (the same bits, for comparing the two).
enum class LoopIsa { Best, Baseline };
void run_program(const Program& program, std::size_t begin, std::size_t end, double* out,
                 const double* const* columns, double* scratch, LoopIsa isa = LoopIsa::Best);

}  // namespace zaviktools
