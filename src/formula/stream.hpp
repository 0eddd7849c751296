// A formula block evaluated in chunks: every output's values for elements
// [begin, end) are computed together and handed to a consumer, so no output
// ever exists as a whole native column.
//
// The first pass (`compile_block`) resolves names, lengths and broadcasting
// and reports the first error whole-vector evaluation would meet; after it
// nothing can fail, so a consumer never sees part of a block that fails.
#pragma once

#include <cstddef>
#include <vector>

#include "foundation/error.hpp"
#include "formula/assignment.hpp"
#include "formula/eval_context.hpp"

namespace zaviktools {

// A block after its first pass. Borrows the property vectors it was compiled
// against: they must outlive it unchanged.
struct CompiledBlock {
    std::vector<Program> programs;          // by source position
    std::vector<std::size_t> vector_lines;  // source positions of vector outputs, in evaluation order
    std::vector<std::size_t> column_of;     // computed column of each vector output, by source position
    std::size_t length = 1;                 // the common length (1 when no vector was looked up)
    std::size_t max_depth = 0;              // deepest stack of any line
};

Result<CompiledBlock> compile_block(const std::vector<Assignment>& assignments, const PropertyMap& properties,
                                    const ParamMap& params);

// Receives consecutive chunks [begin, end) covering [0, length) in order.
// `values[i]` is output i's chunk (source order), or nullptr for an output
// that folded to the scalar `programs[i].scalar`. Returns false to stop.
class ChunkSink {
public:
    virtual bool take(std::size_t begin, std::size_t end, const double* const* values) = 0;

protected:
    ~ChunkSink() = default;
};

// Elements per chunk: the chunk buffers of every output and the stack stay
// within a few hundred kilobytes (in cache), never fewer than 64 elements.
std::size_t stream_chunk(const CompiledBlock& block);

// Runs the block chunk by chunk into `sink`: true when every chunk was taken,
// false when the sink stopped; interrupted on a stop request.
Result<bool> stream_block(const CompiledBlock& block, ChunkSink& sink);

}  // namespace zaviktools
