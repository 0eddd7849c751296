// run_program: one pass of compiled code over a range of elements.
//
// The loops are compiled twice, for the baseline instruction set and for
// AVX2, and picked at run time. Both give the same bits: every kernel is an
// elementwise IEEE operation or select (no contraction, no reassociation), and
// the C library's transcendentals are called one element at a time either way.
#include <cstring>

#include "foundation/cpu.hpp"
#include "formula/eval_context.hpp"
#include "formula/kernels.hpp"

// Inlined into both entry points below, so each copy is vectorised for its
// own instruction set.
#define ZK_LOOP [[gnu::always_inline]] inline

namespace zaviktools {

namespace {

template <class F>
ZK_LOOP void loop2(Operands mode, const double* a, const double* b, const double imm[3], double* out, std::size_t m, F f) {
    switch (mode) {
        case Operands::VV:
            for (std::size_t k = 0; k < m; ++k) out[k] = f(a[k], b[k]);
            break;
        case Operands::VS: {
            const double s = imm[1];
            for (std::size_t k = 0; k < m; ++k) out[k] = f(a[k], s);
            break;
        }
        case Operands::SV: {
            const double s = imm[0];
            for (std::size_t k = 0; k < m; ++k) out[k] = f(s, a[k]);
            break;
        }
    }
}

template <BinOp Op>
ZK_LOOP void binary(Operands mode, const double* a, const double* b, const double imm[3], double* out, std::size_t m) {
    // A lambda, not a function pointer, so the kernel is inlined into the loop.
    loop2(mode, a, b, imm, out, m, [](double x, double y) { return kernels::binary<Op>(x, y); });
}

ZK_LOOP void binary(BinOp op, Operands mode, const double* a, const double* b, const double imm[3], double* out,
            std::size_t m) {
    switch (op) {
        case BinOp::Add: return binary<BinOp::Add>(mode, a, b, imm, out, m);
        case BinOp::Sub: return binary<BinOp::Sub>(mode, a, b, imm, out, m);
        case BinOp::Mul: return binary<BinOp::Mul>(mode, a, b, imm, out, m);
        case BinOp::Div: return binary<BinOp::Div>(mode, a, b, imm, out, m);
        case BinOp::Pow: return binary<BinOp::Pow>(mode, a, b, imm, out, m);
        case BinOp::Lt: return binary<BinOp::Lt>(mode, a, b, imm, out, m);
        case BinOp::Le: return binary<BinOp::Le>(mode, a, b, imm, out, m);
        case BinOp::Gt: return binary<BinOp::Gt>(mode, a, b, imm, out, m);
        case BinOp::Ge: return binary<BinOp::Ge>(mode, a, b, imm, out, m);
        case BinOp::Eq: return binary<BinOp::Eq>(mode, a, b, imm, out, m);
        case BinOp::Ne: return binary<BinOp::Ne>(mode, a, b, imm, out, m);
    }
}

template <Fn F>
ZK_LOOP void unary(const double* a, double* out, std::size_t m) {
    for (std::size_t k = 0; k < m; ++k) out[k] = kernels::unary<F>(a[k]);
}

// Three operands, each from the stack (bit j of Mask set) or an immediate;
// the operand kinds are fixed at compile time so the loop has no strides.
template <unsigned Mask, class F>
ZK_LOOP void loop3(const double* const* v, const double imm[3], double* out, std::size_t m, F f) {
    const double* p[3];
    std::size_t next = 0;
    for (std::size_t j = 0; j < 3; ++j) p[j] = ((Mask >> j) & 1u) ? v[next++] : &imm[j];
    const auto at = [](const double* q, unsigned bit, std::size_t k) { return ((Mask >> bit) & 1u) ? q[k] : *q; };
    for (std::size_t k = 0; k < m; ++k) out[k] = f(at(p[0], 0, k), at(p[1], 1, k), at(p[2], 2, k));
}

template <class F>
ZK_LOOP void loop3(std::uint8_t mask, const double* const* v, const double imm[3], double* out, std::size_t m, F f) {
    switch (mask) {
        case 1: return loop3<1>(v, imm, out, m, f);
        case 2: return loop3<2>(v, imm, out, m, f);
        case 3: return loop3<3>(v, imm, out, m, f);
        case 4: return loop3<4>(v, imm, out, m, f);
        case 5: return loop3<5>(v, imm, out, m, f);
        case 6: return loop3<6>(v, imm, out, m, f);
        default: return loop3<7>(v, imm, out, m, f);
    }
}

ZK_LOOP double clip(double x, double lo, double hi) { return kernels::min(kernels::max(x, lo), hi); }

ZK_LOOP void run(const Program& program, std::size_t begin, std::size_t end, double* out,
                const double* const* columns, double* scratch) {
    const std::size_t m = end - begin;
    if (program.is_scalar) {
        for (std::size_t k = 0; k < m; ++k) out[k] = program.scalar;
        return;
    }
    // Stack entry d reads from `vals[d]`; results at depth d go to `buf(d)`,
    // which for the bottom entry is the output itself. An operation writes at
    // the lowest depth it reads, elementwise, so in-place updates are safe.
    // Deep stacks are rare: a few dozen entries live on the call stack.
    const double* shallow[32];
    std::vector<const double*> deep(program.max_depth > 32 ? program.max_depth : 0);
    const double** vals = program.max_depth > 32 ? deep.data() : shallow;
    const auto buf = [&](std::size_t d) { return d == 0 ? out : scratch + (d - 1) * m; };
    std::size_t sp = 0;
    for (const Instr& in : program.code) {
        switch (in.code) {
            case Instr::Code::Push:
                vals[sp++] = in.from_column ? columns[in.computed] : in.source + begin;
                break;
            case Instr::Code::Neg: {
                double* o = buf(sp - 1);
                const double* a = vals[sp - 1];
                for (std::size_t k = 0; k < m; ++k) o[k] = kernels::neg(a[k]);
                vals[sp - 1] = o;
                break;
            }
            case Instr::Code::Unary: {
                double* o = buf(sp - 1);
                const double* a = vals[sp - 1];
                switch (in.fn) {
                    case Fn::Abs: unary<Fn::Abs>(a, o, m); break;
                    case Fn::Exp: unary<Fn::Exp>(a, o, m); break;
                    case Fn::Log: unary<Fn::Log>(a, o, m); break;
                    case Fn::Log10: unary<Fn::Log10>(a, o, m); break;
                    default: unary<Fn::Sqrt>(a, o, m); break;
                }
                vals[sp - 1] = o;
                break;
            }
            case Instr::Code::Binary:
            case Instr::Code::Min:
            case Instr::Code::Max: {
                const bool two = in.operands == Operands::VV;
                const std::size_t at = sp - (two ? 2 : 1);
                const double* a = vals[at];
                const double* b = two ? vals[at + 1] : nullptr;
                double* o = buf(at);
                if (in.code == Instr::Code::Binary) binary(in.op, in.operands, a, b, in.imm, o, m);
                else if (in.code == Instr::Code::Min)
                    loop2(in.operands, a, b, in.imm, o, m, [](double x, double y) { return kernels::min(x, y); });
                else
                    loop2(in.operands, a, b, in.imm, o, m, [](double x, double y) { return kernels::max(x, y); });
                vals[at] = o;
                sp = at + 1;
                break;
            }
            case Instr::Code::If:
            case Instr::Code::Clip: {
                const std::size_t n = static_cast<std::size_t>(__builtin_popcount(in.vector_mask));
                const std::size_t at = sp - n;
                double* o = buf(at);
                if (in.code == Instr::Code::If)
                    loop3(in.vector_mask, &vals[at], in.imm, o, m,
                          [](double c, double x, double y) { return kernels::select(c, x, y); });
                else
                    loop3(in.vector_mask, &vals[at], in.imm, o, m,
                          [](double x, double lo, double hi) { return clip(x, lo, hi); });
                vals[at] = o;
                sp = at + 1;
                break;
            }
        }
    }
    if (vals[0] != out) std::memcpy(out, vals[0], m * sizeof(double));
}

void run_baseline(const Program& program, std::size_t begin, std::size_t end, double* out,
                  const double* const* columns, double* scratch) {
    run(program, begin, end, out, columns, scratch);
}

__attribute__((target("avx2"))) void run_avx2(const Program& program, std::size_t begin, std::size_t end,
                                              double* out, const double* const* columns, double* scratch) {
    run(program, begin, end, out, columns, scratch);
}

}  // namespace

void run_program(const Program& program, std::size_t begin, std::size_t end, double* out,
                 const double* const* columns, double* scratch, LoopIsa isa) {
    if (isa == LoopIsa::Best && cpu_has_avx2()) run_avx2(program, begin, end, out, columns, scratch);
    else run_baseline(program, begin, end, out, columns, scratch);
}

}  // namespace zaviktools
