// A compiled formula expression: postfix code over a stack of vector chunks.
//
// Scalar operands are folded at compile time and carried as immediates, so
// the stack holds vectors only. Running the code over a range [begin, end)
// computes exactly those elements, which lets a block be evaluated a few
// thousand elements at a time with the same bits as whole-vector evaluation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "formula/ast.hpp"
#include "formula/functions.hpp"

namespace zaviktools {

// Which operands of an instruction come from the stack (the rest are immediates).
enum class Operands : std::uint8_t { VV, VS, SV };

struct Instr {
    enum class Code : std::uint8_t { Push, Neg, Binary, Unary, Min, Max, If, Clip };
    Code code;
    BinOp op = BinOp::Add;          // Binary
    Fn fn = Fn::Abs;                // Unary
    Operands operands = Operands::VV;  // Binary, Min, Max
    std::uint8_t vector_mask = 0;   // If, Clip: bit k set when argument k is on the stack
    double imm[3] = {0.0, 0.0, 0.0};  // the scalar operands, by argument position
    bool from_column = false;         // Push: a computed column `computed` ...
    std::size_t computed = 0;
    const double* source = nullptr;   // ... or this property vector
};

struct Program {
    std::vector<Instr> code;
    std::size_t max_depth = 0;  // deepest vector stack the code reaches
    bool is_scalar = true;      // the whole expression folded to `scalar`
    double scalar = 0.0;
};

double apply_binary(BinOp op, double a, double b);

}  // namespace zaviktools
