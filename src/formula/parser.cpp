#include "formula/parser.hpp"

#include <string>

namespace zaviktools {

namespace {

AlgoError too_deep() {
    return AlgoError::parse("formula nesting deeper than " + std::to_string(kMaxNesting) + " levels");
}

bool comparison(TokenKind k, BinOp& op) {
    switch (k) {
        case TokenKind::Lt: op = BinOp::Lt; return true;
        case TokenKind::Le: op = BinOp::Le; return true;
        case TokenKind::Gt: op = BinOp::Gt; return true;
        case TokenKind::Ge: op = BinOp::Ge; return true;
        case TokenKind::EqEq: op = BinOp::Eq; return true;
        case TokenKind::Ne: op = BinOp::Ne; return true;
        default: return false;
    }
}

// Counts one nesting level for the lifetime of the guard.
class Level {
public:
    explicit Level(std::size_t& depth) : depth_(depth) { ++depth_; }
    ~Level() { --depth_; }
    bool too_deep() const { return depth_ > kMaxNesting; }

private:
    std::size_t& depth_;
};

}  // namespace

Result<ExprPtr> Parser::parse_expression() {
    auto left = parse_additive();
    if (!left) return left;
    BinOp op{};
    while (comparison(current().kind, op)) {
        advance();
        auto right = parse_additive();
        if (!right) return right;
        left = make_expr(InfixNode{op, std::move(*left), std::move(*right)});
    }
    return left;
}

Result<ExprPtr> Parser::parse_additive() {
    auto left = parse_multiplicative();
    if (!left) return left;
    while (current().kind == TokenKind::Plus || current().kind == TokenKind::Minus) {
        const BinOp op = advance().kind == TokenKind::Plus ? BinOp::Add : BinOp::Sub;
        auto right = parse_multiplicative();
        if (!right) return right;
        left = make_expr(InfixNode{op, std::move(*left), std::move(*right)});
    }
    return left;
}

Result<ExprPtr> Parser::parse_multiplicative() {
    auto left = parse_power();
    if (!left) return left;
    while (current().kind == TokenKind::Star || current().kind == TokenKind::Slash) {
        const BinOp op = advance().kind == TokenKind::Star ? BinOp::Mul : BinOp::Div;
        auto right = parse_power();
        if (!right) return right;
        left = make_expr(InfixNode{op, std::move(*left), std::move(*right)});
    }
    return left;
}

Result<ExprPtr> Parser::parse_power() {
    auto base = parse_unary();
    if (!base) return base;
    if (current().kind != TokenKind::Pow) return base;
    advance();
    Level level(depth_);
    if (level.too_deep()) return fail(too_deep());
    auto exponent = parse_power();
    if (!exponent) return exponent;
    return make_expr(InfixNode{BinOp::Pow, std::move(*base), std::move(*exponent)});
}

Result<ExprPtr> Parser::nested_unary() {
    Level level(depth_);
    if (level.too_deep()) return fail(too_deep());
    return parse_unary();
}

Result<ExprPtr> Parser::nested_expression() {
    Level level(depth_);
    if (level.too_deep()) return fail(too_deep());
    return parse_expression();
}

Result<ExprPtr> Parser::parse_unary() {
    const Token& t = advance();
    switch (t.kind) {
        case TokenKind::Plus:
        case TokenKind::Minus: {
            const UnaryOp op = t.kind == TokenKind::Plus ? UnaryOp::Plus : UnaryOp::Neg;
            auto operand = nested_unary();
            if (!operand) return operand;
            return make_expr(UnaryNode{op, std::move(*operand)});
        }
        case TokenKind::Number: return make_expr(NumberNode{t.number});
        case TokenKind::Param: return make_expr(ParamNode{std::string(t.name)});
        case TokenKind::Ident:
            if (current().kind == TokenKind::LParen) {
                advance();
                return parse_call(std::string(t.name));
            }
            return make_expr(VarNode{std::string(t.name)});
        case TokenKind::LParen: {
            auto inner = nested_expression();
            if (!inner) return inner;
            const Token& close = advance();
            if (close.kind != TokenKind::RParen)
                return fail(AlgoError::parse("expected " + token_debug(TokenKind::RParen) + ", got " + token_debug(close)));
            return inner;
        }
        default: return fail(AlgoError::parse("expected formula expression, got " + token_debug(t)));
    }
}

// After `name(`: the arguments up to and including the closing `)`.
Result<ExprPtr> Parser::parse_call(std::string name) {
    CallNode call{std::move(name), {}};
    if (current().kind == TokenKind::RParen) {
        advance();
        return make_expr(std::move(call));
    }
    Level level(depth_);
    if (level.too_deep()) return fail(too_deep());
    for (;;) {
        auto arg = parse_expression();
        if (!arg) return arg;
        call.args.push_back(std::move(*arg));
        const Token& sep = advance();
        if (sep.kind == TokenKind::RParen) break;
        if (sep.kind != TokenKind::Comma)
            return fail(AlgoError::parse("expected `,` or `)` in formula call, got " + token_debug(sep)));
    }
    return make_expr(std::move(call));
}

}  // namespace zaviktools
