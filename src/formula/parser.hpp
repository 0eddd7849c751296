// Recursive-descent parser over the token list of one right-hand side.
//
// Precedence, loosest first: comparisons, + -, * /, ** (right-associative),
// prefix signs, primaries. Every parenthesis (also of a call), prefix sign and
// `**` right operand opens one nesting level; past kMaxNesting levels the line
// fails with a Parse error instead of exhausting the stack.
#pragma once

#include <cstddef>
#include <vector>

#include "foundation/error.hpp"
#include "formula/ast.hpp"
#include "formula/token.hpp"

namespace zaviktools {

inline constexpr std::size_t kMaxNesting = 1000;

class Parser {
public:
    explicit Parser(const std::vector<Token>& tokens) : tokens_(tokens) {}

    Result<ExprPtr> parse_expression();
    Result<ExprPtr> parse_additive();
    Result<ExprPtr> parse_multiplicative();
    Result<ExprPtr> parse_power();
    Result<ExprPtr> parse_unary();

    const Token& current() const { return tokens_[pos_]; }

private:
    Result<ExprPtr> parse_call(std::string name);
    Result<ExprPtr> nested_unary();
    Result<ExprPtr> nested_expression();
    const Token& advance() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }

    const std::vector<Token>& tokens_;
    std::size_t pos_ = 0;
    std::size_t depth_ = 0;
};

}  // namespace zaviktools
