// The formula expression tree. Nodes own their children; destruction and the
// name walks run on explicit stacks, so a 10^6-term flat sum (a 10^6-deep left
// spine) never recurses once per term.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace zaviktools {

enum class UnaryOp { Plus, Neg };
enum class BinOp { Add, Sub, Mul, Div, Pow, Lt, Le, Gt, Ge, Eq, Ne };

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct NumberNode {
    double value;
};
struct ParamNode {
    std::string name;  // without the `$`
};
struct VarNode {
    std::string name;
};
struct UnaryNode {
    UnaryOp op;
    ExprPtr child;
};
struct InfixNode {
    BinOp op;
    ExprPtr left, right;
};
struct CallNode {
    std::string name;
    std::vector<ExprPtr> args;
};

using NameSet = std::set<std::string, std::less<>>;

struct Expr {
    std::variant<NumberNode, ParamNode, VarNode, UnaryNode, InfixNode, CallNode> node;

    template <class Node>
    explicit Expr(Node n) : node(std::move(n)) {}
    Expr(const Expr&) = delete;
    Expr& operator=(const Expr&) = delete;
    ~Expr();

    // Every `Var` / `Param` name in the tree; call names are never collected.
    void collect_vars(NameSet& out) const;
    void collect_params(NameSet& out) const;
};

template <class Node>
ExprPtr make_expr(Node n) {
    return std::make_unique<Expr>(std::move(n));
}

// The children of a node, left to right (empty for leaves).
std::vector<const Expr*> children_of(const Expr& e);

}  // namespace zaviktools
