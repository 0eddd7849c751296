#include "formula/stream.hpp"

#include <algorithm>

#include "foundation/interrupt.hpp"
#include "formula/block.hpp"

namespace zaviktools {

Result<CompiledBlock> compile_block(const std::vector<Assignment>& assignments, const PropertyMap& properties,
                                    const ParamMap& params) {
    auto order = evaluation_order(assignments);
    if (!order) return fail(std::move(order).error());

    // In evaluation order: every name, length and error.
    EvalContext ctx(properties, params);
    CompiledBlock block;
    block.programs.resize(assignments.size());
    block.column_of.assign(assignments.size(), 0);
    for (std::size_t i : *order) {
        auto prog = ctx.compile(*assignments[i].expr);
        if (!prog) return fail(std::move(prog).error());
        Program& p = block.programs[i];
        p = std::move(*prog);
        if (p.is_scalar) {
            ctx.define_scalar(assignments[i].name, p.scalar);
        } else {
            block.column_of[i] = block.vector_lines.size();
            ctx.define_vector(assignments[i].name, block.vector_lines.size());
            block.vector_lines.push_back(i);
            block.max_depth = std::max(block.max_depth, p.max_depth);
        }
    }
    block.length = ctx.expected_length().value_or(1);
    return block;
}

std::size_t stream_chunk(const CompiledBlock& block) {
    constexpr std::size_t kChunk = 2048, kBudget = std::size_t{1} << 15;  // doubles
    const std::size_t rows = block.vector_lines.size() + (block.max_depth > 1 ? block.max_depth - 1 : 0);
    if (rows == 0) return kChunk;
    return std::clamp<std::size_t>(kBudget / rows, 64, kChunk);
}

Result<bool> stream_block(const CompiledBlock& block, ChunkSink& sink) {
    const std::size_t n = block.length, chunk = stream_chunk(block);
    const std::size_t lines = block.vector_lines.size();
    const std::size_t depth = block.max_depth > 1 ? block.max_depth - 1 : 0;
    // One chunk buffer per vector output, then the stack's scratch.
    std::vector<double> storage((lines + depth) * chunk);
    std::vector<const double*> columns(lines);
    for (std::size_t c = 0; c < lines; ++c) columns[c] = storage.data() + c * chunk;
    double* scratch = storage.data() + lines * chunk;
    std::vector<const double*> values(block.programs.size(), nullptr);
    for (std::size_t i : block.vector_lines) values[i] = columns[block.column_of[i]];

    StopCheck stop(16);  // a line over a chunk takes microseconds
    for (std::size_t begin = 0; begin < n; begin += chunk) {
        const std::size_t end = std::min(n, begin + chunk);
        for (std::size_t i : block.vector_lines) {
            if (stop()) return fail(AlgoError::interrupted("formula evaluation"));
            const std::size_t c = block.column_of[i];
            run_program(block.programs[i], begin, end, storage.data() + c * chunk, columns.data(), scratch);
        }
        if (stop()) return fail(AlgoError::interrupted("formula evaluation"));
        if (!sink.take(begin, end, values.data())) return false;
    }
    return true;
}

}  // namespace zaviktools
