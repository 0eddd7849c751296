// LocalKriging: parameters, and the sweep over the lattice in blocks of
// nearby nodes that share one candidate list (see kriging_block.hpp); each
// node's neighbour list and system are exactly those of a direct query.
#include "geostat/local_kriging.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "foundation/threads.hpp"
#include "foundation/parts.hpp"
#include "geostat/block_kriging.hpp"
#include "geostat/ok_system.hpp"

namespace zaviktools {

bool ordinary_kriging_at(const Variogram& variogram, std::span<const DataPoint> data, KrigingScratch& s,
                         KrigedValue& out, SolvePath path) {
    auto pair = [&](std::size_t i, std::size_t j) {
        const DataPoint& pi = data[s.neighbours[i].index];
        const DataPoint& pj = data[s.neighbours[j].index];
        const double dx = pi[0] - pj[0];
        const double dy = pi[1] - pj[1];
        const double h2 = dx * dx + dy * dy;
        return h2 == 0.0 ? 0.0 : variogram.gamma(std::sqrt(h2));
    };
    auto fill = [&](double* a, std::size_t n, std::size_t m) { fill_pairs_from(pair, a, n, m); };
    return solve_ordinary_kriging(variogram, data, s, fill, path, out);
}

Result<LocalKriging> LocalKriging::create(const Variogram& variogram, std::size_t max_neighbours, double radius) {
    if (max_neighbours == 0 || !std::isfinite(radius) || radius <= 0.0)
        return fail(AlgoError::invalid_argument("LocalKriging: need max_neighbours >= 1 and radius > 0"));
    return LocalKriging{max_neighbours, radius, variogram};
}

namespace {

constexpr std::size_t kBlockSide = 16;  // nodes per block side before subdivision

// One worker's sweep: its own block engine and result writes (each node is
// written by the one worker that owns its block).
struct Sweep {
    const Lattice& lattice;
    Field& estimate;
    Field& variance;
    BlockKriger kriger;
    std::vector<Xy> nodes;
    struct Cell {
        std::size_t col, row;
    };
    std::vector<Cell> cells;  // the lattice node of each entry of `nodes`

    // Nodes [c0, c1) x [r0, r1): one candidate list, or four smaller blocks
    // when the list is long compared with the neighbour count.
    void run_block(std::size_t c0, std::size_t c1, std::size_t r0, std::size_t r1) {
        if (c0 == c1 || r0 == r1) return;
        const std::size_t cm = c0 + (c1 - c0) / 2, rm = r0 + (r1 - r0) / 2;
        const Xy centre = lattice.node_xy(cm, rm);
        double reach = 0.0;
        nodes.clear();
        cells.clear();
        // Rows alternately left to right and right to left: each node is
        // next to the one before, so its ranking of the candidates starts
        // nearly sorted.
        for (std::size_t row = r0; row < r1; ++row) {
            const bool forward = (row - r0) % 2 == 0;
            for (std::size_t i = 0; i < c1 - c0; ++i) {
                const std::size_t col = forward ? c0 + i : c1 - 1 - i;
                const Xy p = lattice.node_xy(col, row);
                const double dx = p.x - centre.x, dy = p.y - centre.y;
                reach = std::max(reach, std::sqrt(dx * dx + dy * dy));
                nodes.push_back(p);
                cells.push_back({col, row});
            }
        }
        auto store = [&](std::size_t t, bool ok, const KrigedValue& v) {
            if (!ok) return;
            estimate(cells[t].col, cells[t].row) = v.estimate;
            variance(cells[t].col, cells[t].row) = v.variance;
        };
        if (kriger.krige(nodes, centre, reach, nodes.size() > 1, store)) return;
        run_block(c0, cm, r0, rm);
        run_block(cm, c1, r0, rm);
        run_block(c0, cm, rm, r1);
        run_block(cm, c1, rm, r1);
    }
};

}  // namespace

std::size_t kriging_workers(const KrigeRun& run, std::size_t targets, std::size_t blocks) {
    std::size_t n = run.threads == 0 ? default_thread_count(nullptr) : std::min(run.threads, kMaxThreads);
    if (!run.exact_threads) n = std::min(n, targets / LocalKriging::kNodesPerThread);
    return std::max<std::size_t>(1, std::min(n, blocks));
}

Result<KrigedGrids> LocalKriging::krige(std::span<const DataPoint> points, const Lattice& lattice) const {
    return krige(points, lattice, KrigeRun{});
}

Result<KrigedGrids> LocalKriging::krige(std::span<const DataPoint> points, const Lattice& lattice,
                                        const KrigeRun& run) const {
    if (points.empty()) return fail(AlgoError::empty_input("LocalKriging::krige: no points to grid"));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const DataPoint& p = points[i];
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            return fail(AlgoError::invalid_argument("LocalKriging::krige: point " + std::to_string(i) +
                                                    " is not finite (x, y and z must be finite)"));
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto estimate = Field::create(lattice.ncol(), lattice.nrow(), nan);
    if (!estimate) return fail(std::move(estimate).error());
    auto variance = Field::create(lattice.ncol(), lattice.nrow(), nan);
    if (!variance) return fail(std::move(variance).error());

    const std::vector<DataPoint> data = dedup_coincident(points);
    std::vector<NeighbourEntry> entries;
    entries.reserve(data.size());
    for (std::size_t k = 0; k < data.size(); ++k) entries.push_back({data[k][0], data[k][1], k});
    const Neighbourhood index(entries);

    const std::size_t block_cols = (lattice.ncol() + kBlockSide - 1) / kBlockSide;
    const std::size_t block_rows = (lattice.nrow() + kBlockSide - 1) / kBlockSide;
    const std::size_t blocks = block_cols * block_rows;
    // Blocks row by row; the calling thread polls, and a stop it sees ends
    // every worker at its next block (a block takes about a millisecond).
    const bool done = run_parts(kriging_workers(run, lattice.ncol() * lattice.nrow(), blocks), blocks, [&] {
        return [&, sweep = Sweep{lattice, *estimate, *variance,
                                 BlockKriger(variogram, data, index, max_neighbours, radius, run.path), {}, {}}](
                   std::size_t b) mutable {
            const std::size_t c0 = (b % block_cols) * kBlockSide, r0 = (b / block_cols) * kBlockSide;
            sweep.run_block(c0, std::min(c0 + kBlockSide, lattice.ncol()), r0,
                            std::min(r0 + kBlockSide, lattice.nrow()));
        };
    });
    if (!done) return fail(AlgoError::interrupted("LocalKriging::krige"));
    return KrigedGrids{std::move(*estimate), std::move(*variance)};
}

}  // namespace zaviktools
