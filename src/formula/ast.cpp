#include "formula/ast.hpp"

namespace zaviktools {

namespace {

// Moves the node's children out, leaving it a leaf.
void detach_children(Expr& e, std::vector<ExprPtr>& out) {
    if (auto* u = std::get_if<UnaryNode>(&e.node)) {
        if (u->child) out.push_back(std::move(u->child));
    } else if (auto* in = std::get_if<InfixNode>(&e.node)) {
        if (in->left) out.push_back(std::move(in->left));
        if (in->right) out.push_back(std::move(in->right));
    } else if (auto* c = std::get_if<CallNode>(&e.node)) {
        for (auto& a : c->args)
            if (a) out.push_back(std::move(a));
        c->args.clear();
    }
}

template <class Node>
void collect(const Expr& root, NameSet& out) {
    std::vector<const Expr*> stack{&root};
    while (!stack.empty()) {
        const Expr* e = stack.back();
        stack.pop_back();
        if (auto* n = std::get_if<Node>(&e->node)) out.insert(n->name);
        for (const Expr* child : children_of(*e)) stack.push_back(child);
    }
}

}  // namespace

std::vector<const Expr*> children_of(const Expr& e) {
    std::vector<const Expr*> out;
    if (auto* u = std::get_if<UnaryNode>(&e.node)) {
        out.push_back(u->child.get());
    } else if (auto* in = std::get_if<InfixNode>(&e.node)) {
        out.push_back(in->left.get());
        out.push_back(in->right.get());
    } else if (auto* c = std::get_if<CallNode>(&e.node)) {
        for (const auto& a : c->args) out.push_back(a.get());
    }
    return out;
}

Expr::~Expr() {
    std::vector<ExprPtr> pending;
    detach_children(*this, pending);
    while (!pending.empty()) {
        ExprPtr e = std::move(pending.back());
        pending.pop_back();
        detach_children(*e, pending);
        // `e` is a leaf now; its destructor finds nothing to recurse into.
    }
}

void Expr::collect_vars(NameSet& out) const { collect<VarNode>(*this, out); }
void Expr::collect_params(NameSet& out) const { collect<ParamNode>(*this, out); }

}  // namespace zaviktools
