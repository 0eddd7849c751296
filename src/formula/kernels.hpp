// Elementwise arithmetic of the formula engine on single doubles. Constant
// folding and the chunked vector loops both call these, so a value computed
// either way has the same bits.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "formula/ast.hpp"
#include "formula/functions.hpp"

namespace zaviktools::kernels {

inline double flag(bool b) { return b ? 1.0 : 0.0; }

template <BinOp Op>
inline double binary(double a, double b) {
    if constexpr (Op == BinOp::Add) return a + b;
    if constexpr (Op == BinOp::Sub) return a - b;
    if constexpr (Op == BinOp::Mul) return a * b;
    if constexpr (Op == BinOp::Div) return a / b;
    if constexpr (Op == BinOp::Pow) return std::pow(a, b);
    if constexpr (Op == BinOp::Lt) return flag(a < b);
    if constexpr (Op == BinOp::Le) return flag(a <= b);
    if constexpr (Op == BinOp::Gt) return flag(a > b);
    if constexpr (Op == BinOp::Ge) return flag(a >= b);
    if constexpr (Op == BinOp::Eq) return flag(a == b);
    if constexpr (Op == BinOp::Ne) return flag(!(a == b));
}

// NaN in, that NaN out (the first one); of two zeros `min` takes -0.0, `max`
// +0.0, as IEEE 754-2019 minimum / maximum do. Written as selects, without
// branches, so the chunk loops run them in vector registers. Equal operands
// differ at most in the sign of a zero: OR-ing the bits picks -0.0, AND-ing
// picks +0.0.
inline double min(double a, double b) {
    const double tie = std::bit_cast<double>(std::bit_cast<std::uint64_t>(a) | std::bit_cast<std::uint64_t>(b));
    double r = a < b ? a : (b < a ? b : tie);
    r = b != b ? b : r;
    return a != a ? a : r;
}

inline double max(double a, double b) {
    const double tie = std::bit_cast<double>(std::bit_cast<std::uint64_t>(a) & std::bit_cast<std::uint64_t>(b));
    double r = a > b ? a : (b > a ? b : tie);
    r = b != b ? b : r;
    return a != a ? a : r;
}

// `if`: a where c is finite and nonzero, else b (0, infinities and NaN).
inline double select(double c, double a, double b) { return (std::isfinite(c) && c != 0.0) ? a : b; }

inline double neg(double x) { return -x; }

template <Fn F>
inline double unary(double x) {
    if constexpr (F == Fn::Abs) return std::fabs(x);
    if constexpr (F == Fn::Exp) return std::exp(x);
    if constexpr (F == Fn::Log) return std::log(x);
    if constexpr (F == Fn::Log10) return std::log10(x);
    if constexpr (F == Fn::Sqrt) return std::sqrt(x);
}

}  // namespace zaviktools::kernels
