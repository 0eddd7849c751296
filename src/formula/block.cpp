#include "formula/block.hpp"

#include <algorithm>
#include <deque>
#include <map>

#include "foundation/interrupt.hpp"
#include "formula/stream.hpp"

namespace zaviktools {

namespace {

// Elements per pass through a block's code: small enough that the stack of
// chunk buffers stays in cache, never fewer than 64 even for deep stacks.
std::size_t chunk_size(std::size_t max_depth) {
    constexpr std::size_t kChunk = 4096, kBudget = std::size_t{1} << 18;
    if (max_depth <= 1) return kChunk;
    return std::clamp<std::size_t>(kBudget / max_depth, 64, kChunk);
}

}  // namespace

Result<std::vector<std::size_t>> evaluation_order(const std::vector<Assignment>& assignments) {
    const std::size_t n = assignments.size();
    std::map<std::string_view, std::size_t, std::less<>> index;
    for (std::size_t i = 0; i < n; ++i) {
        if (!index.emplace(assignments[i].name, i).second)
            return fail(AlgoError::invalid_argument("duplicate assignment lhs `" + assignments[i].name + "`"));
    }
    std::vector<std::size_t> in_degree(n, 0);
    std::vector<std::vector<std::size_t>> dependents(n);
    for (std::size_t i = 0; i < n; ++i) {
        NameSet vars;
        assignments[i].expr->collect_vars(vars);
        for (const std::string& v : vars) {
            const auto it = index.find(v);
            if (it == index.end()) continue;
            ++in_degree[i];
            dependents[it->second].push_back(i);
        }
    }
    std::deque<std::size_t> queue;
    for (std::size_t i = 0; i < n; ++i)
        if (in_degree[i] == 0) queue.push_back(i);
    std::vector<std::size_t> order;
    order.reserve(n);
    while (!queue.empty()) {
        const std::size_t i = queue.front();
        queue.pop_front();
        order.push_back(i);
        for (std::size_t d : dependents[i])
            if (--in_degree[d] == 0) queue.push_back(d);
    }
    if (order.size() < n) {
        std::string names;
        for (std::size_t i = 0; i < n; ++i) {
            if (in_degree[i] == 0) continue;
            if (!names.empty()) names += ", ";
            names += assignments[i].name;
        }
        return fail(AlgoError::invalid_argument("cyclic formula dependencies involving " + names));
    }
    return order;
}

Result<std::vector<FormulaColumn>> evaluate_assignments(const std::vector<Assignment>& assignments,
                                                        const PropertyMap& properties, const ParamMap& params,
                                                        LoopIsa isa) {
    auto compiled = compile_block(assignments, properties, params);
    if (!compiled) return fail(std::move(compiled).error());
    const CompiledBlock& block = *compiled;
    const std::size_t n = block.length;

    // The whole block, chunk by chunk into whole columns, so each line reads
    // the chunk its inputs just wrote while it is still in cache.
    std::vector<std::vector<double>> columns(block.vector_lines.size());
    StopCheck stop(16);  // a line over a chunk, or a column's storage, takes microseconds
    for (std::vector<double>& column : columns) {
        if (stop()) return fail(AlgoError::interrupted("formula evaluation"));
        column.resize(n);
    }
    if (!columns.empty()) {
        const std::size_t chunk = chunk_size(block.max_depth);
        std::vector<double> scratch(block.max_depth > 1 ? (block.max_depth - 1) * chunk : 0);
        std::vector<const double*> at(columns.size());
        for (std::size_t begin = 0; begin < n; begin += chunk) {
            const std::size_t end = std::min(n, begin + chunk);
            for (std::size_t c = 0; c < columns.size(); ++c) at[c] = columns[c].data() + begin;
            for (std::size_t i : block.vector_lines) {
                if (stop()) return fail(AlgoError::interrupted("formula evaluation"));
                run_program(block.programs[i], begin, end, columns[block.column_of[i]].data() + begin, at.data(),
                            scratch.data(), isa);
            }
        }
    }

    std::vector<FormulaColumn> out;
    out.reserve(assignments.size());
    for (std::size_t i = 0; i < assignments.size(); ++i) {
        const Program& p = block.programs[i];
        if (p.is_scalar) out.push_back({assignments[i].name, std::vector<double>(n, p.scalar)});
        else out.push_back({assignments[i].name, std::move(columns[block.column_of[i]])});
    }
    return out;
}

Result<FormulaBlock> FormulaBlock::parse(const std::vector<std::string>& lines) {
    FormulaBlock block;
    block.assignments.reserve(lines.size());
    for (const std::string& line : lines) {
        auto a = Assignment::parse(line);
        if (!a) return fail(std::move(a).error());
        block.assignments.push_back(std::move(*a));
    }
    auto order = zaviktools::evaluation_order(block.assignments);
    if (!order) return fail(std::move(order).error());
    block.order = std::move(*order);
    return block;
}

std::vector<std::string> FormulaBlock::outputs() const {
    std::vector<std::string> out;
    for (const Assignment& a : assignments) out.push_back(a.name);
    return out;
}

std::vector<std::string> FormulaBlock::evaluation_order() const {
    std::vector<std::string> out;
    for (std::size_t i : order) out.push_back(assignments[i].name);
    return out;
}

std::vector<std::string> FormulaBlock::params() const {
    NameSet names;
    for (const Assignment& a : assignments) a.expr->collect_params(names);
    return {names.begin(), names.end()};
}

std::vector<std::string> FormulaBlock::property_dependencies() const {
    NameSet names, lhs;
    for (const Assignment& a : assignments) {
        a.expr->collect_vars(names);
        lhs.insert(a.name);
    }
    std::vector<std::string> out;
    for (const std::string& n : names)
        if (!lhs.contains(n)) out.push_back(n);
    return out;
}

Result<std::vector<FormulaColumn>> FormulaBlock::evaluate(const PropertyMap& properties,
                                                          const ParamMap& params) const {
    return evaluate_assignments(assignments, properties, params);
}

}  // namespace zaviktools
