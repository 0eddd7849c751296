// EvalContext::compile: the checking and folding pass over one tree.
#include <array>
#include <cmath>
#include <string>
#include <utility>

#include "formula/eval_context.hpp"
#include "formula/kernels.hpp"

namespace zaviktools {

namespace {

std::size_t child_count(const Expr& e) {
    if (std::holds_alternative<UnaryNode>(e.node)) return 1;
    if (std::holds_alternative<InfixNode>(e.node)) return 2;
    if (auto* c = std::get_if<CallNode>(&e.node)) return c->args.size();
    return 0;
}

const Expr* child(const Expr& e, std::size_t k) {
    if (auto* u = std::get_if<UnaryNode>(&e.node)) return u->child.get();
    if (auto* in = std::get_if<InfixNode>(&e.node)) return k == 0 ? in->left.get() : in->right.get();
    return std::get<CallNode>(e.node).args[k].get();
}

// One operand during compilation: a folded scalar, or a vector of `len`
// elements sitting on the run-time stack.
struct Slot {
    bool vec;
    double value;
    std::size_t len;
};

AlgoError zip_mismatch(std::size_t left, std::size_t right) {
    return AlgoError::invalid_argument("formula shape mismatch: left length " + std::to_string(left) +
                                       ", right length " + std::to_string(right));
}

AlgoError expected_mismatch(std::size_t expected, std::size_t actual) {
    return AlgoError::invalid_argument("formula shape mismatch: expected length " + std::to_string(expected) +
                                       ", got " + std::to_string(actual));
}

class Compiler {
public:
    Program prog;
    std::vector<Slot> slots;

    void push_scalar(double v) { slots.push_back({false, v, 0}); }
    void push_vector(Instr in, std::size_t len) {
        prog.code.push_back(in);
        slots.push_back({true, 0.0, len});
        if (++depth_ > prog.max_depth) prog.max_depth = depth_;
    }
    Slot pop() {
        Slot s = slots.back();
        slots.pop_back();
        if (s.vec) --depth_;
        return s;
    }

    // l op r with broadcasting; `fold` computes the all-scalar case.
    template <class Fold>
    Result<void> zip(Instr in, Fold fold) {
        const Slot r = pop(), l = pop();
        if (!l.vec && !r.vec) {
            push_scalar(fold(l.value, r.value));
            return {};
        }
        if (l.vec && r.vec && l.len != r.len) return fail(zip_mismatch(l.len, r.len));
        in.operands = l.vec ? (r.vec ? Operands::VV : Operands::VS) : Operands::SV;
        in.imm[0] = l.value;
        in.imm[1] = r.value;
        push_vector(in, l.vec ? l.len : r.len);
        return {};
    }

    Result<void> unary(Fn fn, double (*fold)(double)) {
        const Slot x = pop();
        if (!x.vec) {
            push_scalar(fold(x.value));
            return {};
        }
        Instr in{Instr::Code::Unary};
        in.fn = fn;
        push_vector(in, x.len);
        return {};
    }

    // clip(x, lo, hi) = min(max(x, lo), hi), checked as the two zips in turn.
    Result<void> clip() {
        const Slot hi = pop(), lo = pop(), x = pop();
        if (x.vec && lo.vec && x.len != lo.len) return fail(zip_mismatch(x.len, lo.len));
        const bool inner_vec = x.vec || lo.vec;
        const std::size_t inner_len = x.vec ? x.len : lo.len;
        if (inner_vec && hi.vec && inner_len != hi.len) return fail(zip_mismatch(inner_len, hi.len));
        return three(Instr::Code::Clip, {x, lo, hi},
                     [](double a, double b, double c) { return kernels::min(kernels::max(a, b), c); });
    }

    // if(c, a, b): vectors must share the length of the first vector among them.
    Result<void> select() {
        const Slot b = pop(), a = pop(), c = pop();
        const Slot args[3] = {c, a, b};
        const Slot* first = nullptr;
        for (const Slot& s : args) {
            if (!s.vec) continue;
            if (!first) first = &s;
            else if (s.len != first->len) return fail(expected_mismatch(first->len, s.len));
        }
        return three(Instr::Code::If, {c, a, b}, kernels::select);
    }

private:
    template <class Fold>
    Result<void> three(Instr::Code code, std::array<Slot, 3> args, Fold fold) {
        Instr in{code};
        std::size_t len = 0;
        bool any = false;
        for (std::size_t k = 0; k < 3; ++k) {
            in.imm[k] = args[k].value;
            if (args[k].vec) {
                in.vector_mask = static_cast<std::uint8_t>(in.vector_mask | (1u << k));
                if (!any) len = args[k].len;
                any = true;
            }
        }
        if (!any) {
            push_scalar(fold(args[0].value, args[1].value, args[2].value));
            return {};
        }
        // Arguments were popped above; re-count the stack for the result.
        push_vector(in, len);
        return {};
    }

    std::size_t depth_ = 0;
};

double fold_abs(double x) { return kernels::unary<Fn::Abs>(x); }
double fold_exp(double x) { return kernels::unary<Fn::Exp>(x); }
double fold_log(double x) { return kernels::unary<Fn::Log>(x); }
double fold_log10(double x) { return kernels::unary<Fn::Log10>(x); }
double fold_sqrt(double x) { return kernels::unary<Fn::Sqrt>(x); }

}  // namespace

double apply_binary(BinOp op, double a, double b) {
    switch (op) {
        case BinOp::Add: return kernels::binary<BinOp::Add>(a, b);
        case BinOp::Sub: return kernels::binary<BinOp::Sub>(a, b);
        case BinOp::Mul: return kernels::binary<BinOp::Mul>(a, b);
        case BinOp::Div: return kernels::binary<BinOp::Div>(a, b);
        case BinOp::Pow: return kernels::binary<BinOp::Pow>(a, b);
        case BinOp::Lt: return kernels::binary<BinOp::Lt>(a, b);
        case BinOp::Le: return kernels::binary<BinOp::Le>(a, b);
        case BinOp::Gt: return kernels::binary<BinOp::Gt>(a, b);
        case BinOp::Ge: return kernels::binary<BinOp::Ge>(a, b);
        case BinOp::Eq: return kernels::binary<BinOp::Eq>(a, b);
        case BinOp::Ne: return kernels::binary<BinOp::Ne>(a, b);
    }
    return 0.0;
}

void EvalContext::define_scalar(const std::string& name, double value) {
    computed_.insert_or_assign(name, Computed{false, value, 0});
}

void EvalContext::define_vector(const std::string& name, std::size_t column) {
    computed_.insert_or_assign(name, Computed{true, 0.0, column});
}

Result<Program> EvalContext::compile(const Expr& root) {
    Compiler c;
    const auto take_vector = [&](std::size_t len, Instr push) -> Result<void> {
        if (!expected_) expected_ = len;
        else if (*expected_ != len) return fail(expected_mismatch(*expected_, len));
        c.push_vector(push, len);
        return {};
    };

    struct Frame {
        const Expr* e;
        std::size_t next;
    };
    std::vector<Frame> frames{{&root, 0}};
    while (!frames.empty()) {
        const Expr& e = *frames.back().e;
        const std::size_t next = frames.back().next;
        if (next == 0) {
            // Entry: leaves resolve here; a call checks its name and arity
            // before any argument is looked at.
            if (auto* n = std::get_if<NumberNode>(&e.node)) {
                c.push_scalar(n->value);
                frames.pop_back();
                continue;
            }
            if (auto* p = std::get_if<ParamNode>(&e.node)) {
                const auto it = params_.find(p->name);
                if (it == params_.end()) return fail(AlgoError::not_found("formula parameter `$" + p->name + "`"));
                if (!std::isfinite(it->second))
                    return fail(AlgoError::invalid_argument("formula parameter `$" + p->name + "` is not finite"));
                c.push_scalar(it->second);
                frames.pop_back();
                continue;
            }
            if (auto* v = std::get_if<VarNode>(&e.node)) {
                Result<void> ok;
                if (const auto it = computed_.find(v->name); it != computed_.end()) {
                    if (!it->second.is_vector) {
                        c.push_scalar(it->second.scalar);
                    } else {
                        Instr push{Instr::Code::Push};
                        push.from_column = true;
                        push.computed = it->second.column;
                        // A computed vector always has the block's length.
                        ok = take_vector(*expected_, push);
                    }
                } else if (const auto pit = properties_.find(v->name); pit != properties_.end()) {
                    Instr push{Instr::Code::Push};
                    push.source = pit->second.data();
                    ok = take_vector(pit->second.size(), push);
                } else {
                    return fail(AlgoError::not_found("formula property `" + v->name + "`"));
                }
                if (!ok) return fail(std::move(ok).error());
                frames.pop_back();
                continue;
            }
            if (auto* call = std::get_if<CallNode>(&e.node)) {
                const FnInfo* info = find_function(call->name);
                if (!info) return fail(AlgoError::invalid_argument("unsupported formula function `" + call->name + "`"));
                if (info->arity != call->args.size())
                    return fail(AlgoError::invalid_argument("formula function `" + call->name + "` expects " +
                                                            std::to_string(info->arity) + " argument(s), got " +
                                                            std::to_string(call->args.size())));
            }
        }
        if (next < child_count(e)) {
            frames.back().next = next + 1;
            frames.push_back({child(e, next), 0});
            continue;
        }
        // Exit: all operands are on the slot stack.
        Result<void> ok;
        if (auto* u = std::get_if<UnaryNode>(&e.node)) {
            if (u->op == UnaryOp::Neg) {
                Slot& top = c.slots.back();
                if (!top.vec) top.value = kernels::neg(top.value);
                else c.prog.code.push_back(Instr{Instr::Code::Neg});
            }
        } else if (auto* in = std::get_if<InfixNode>(&e.node)) {
            Instr instr{Instr::Code::Binary};
            instr.op = in->op;
            const BinOp op = in->op;
            ok = c.zip(instr, [op](double a, double b) { return apply_binary(op, a, b); });
        } else {
            const FnInfo* info = find_function(std::get<CallNode>(e.node).name);
            switch (info->fn) {
                case Fn::Abs: ok = c.unary(Fn::Abs, fold_abs); break;
                case Fn::Exp: ok = c.unary(Fn::Exp, fold_exp); break;
                case Fn::Log: ok = c.unary(Fn::Log, fold_log); break;
                case Fn::Log10: ok = c.unary(Fn::Log10, fold_log10); break;
                case Fn::Sqrt: ok = c.unary(Fn::Sqrt, fold_sqrt); break;
                case Fn::Pow: {
                    Instr instr{Instr::Code::Binary};
                    instr.op = BinOp::Pow;
                    ok = c.zip(instr, kernels::binary<BinOp::Pow>);
                    break;
                }
                case Fn::Min: ok = c.zip(Instr{Instr::Code::Min}, kernels::min); break;
                case Fn::Max: ok = c.zip(Instr{Instr::Code::Max}, kernels::max); break;
                case Fn::Clip: ok = c.clip(); break;
                case Fn::If: ok = c.select(); break;
            }
        }
        if (!ok) return fail(std::move(ok).error());
        frames.pop_back();
    }
    const Slot result = c.slots.back();
    c.prog.is_scalar = !result.vec;
    c.prog.scalar = result.value;
    return std::move(c.prog);
}

}  // namespace zaviktools
