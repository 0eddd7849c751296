#include "geostat/sgs/ensemble.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <new>
#include <optional>
#include <string>

#include "foundation/interrupt.hpp"
#include "foundation/memory.hpp"
#include "foundation/threads.hpp"

namespace zaviktools {

Result<std::vector<double>> sgs_ensemble(std::span<const DataPoint> points, const Lattice& lattice,
                                         const SgsParams& params, std::span<const std::uint64_t> seeds,
                                         std::size_t threads) {
    const std::size_t ncol = lattice.ncol(), nrow = lattice.nrow();
    std::uint64_t nodes = 0, values = 0;
    if (__builtin_mul_overflow(std::uint64_t{ncol}, std::uint64_t{nrow}, &nodes) ||
        __builtin_mul_overflow(nodes, std::uint64_t{seeds.size()}, &values) || !addressable(values, sizeof(double)))
        return fail(AlgoError::invalid_argument("sgs_ensemble: " + std::to_string(seeds.size()) +
                                                " realisations of " + std::to_string(ncol) + "×" +
                                                std::to_string(nrow) + " nodes exceed any address space"));
    auto conditioning = sgs_conditioning(points, lattice, params);
    if (!conditioning) return fail(std::move(conditioning).error());
    if (seeds.empty()) return std::vector<double>{};
    std::vector<double> out;
    try {
        out.resize(static_cast<std::size_t>(values));
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory("sgs_ensemble: cannot allocate " + std::to_string(seeds.size()) +
                                             " realisations of " + std::to_string(ncol) + "×" +
                                             std::to_string(nrow) + " nodes"));
    }

    // Seeds are taken in order from a shared counter; after a failure no
    // later seed is started, so every earlier one has run and the error
    // reported is the earliest seed's, whatever the timing.
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> failed_at{seeds.size()};
    std::mutex mutex;
    std::optional<AlgoError> error;
    std::size_t error_at = seeds.size();
    SharedStop stop;
    const std::size_t workers = std::clamp<std::size_t>(threads, 1, seeds.size());
    // Four seeds at a time, in lockstep, when every worker gets a group of
    // four; a short last group and smaller ensembles go one seed at a time.
    const std::size_t group = seeds.size() >= kSolveLanes * workers ? kSolveLanes : 1;
    run_workers(workers, [&](std::size_t) {
        std::array<SgsScratch, kSolveLanes> scratch;
        SgsParams own = params;
        std::vector<Result<Field>> fields;
        for (;;) {
            const std::size_t k = next.fetch_add(group);
            if (k >= seeds.size() || k > failed_at.load() || stop.raised()) return;
            const std::size_t count = std::min(group, seeds.size() - k);
            if (count == kSolveLanes) {
                fields = sgs_sweep_lanes(*conditioning, lattice, params,
                                         std::span<const std::uint64_t, kSolveLanes>(seeds.data() + k, kSolveLanes),
                                         scratch, &stop);
            } else {
                fields.clear();
                for (std::size_t i = 0; i < count; ++i) {
                    own.seed = seeds[k + i];
                    fields.push_back(sgs_sweep(*conditioning, lattice, own, scratch[0], &stop));
                }
            }
            for (std::size_t i = 0; i < count; ++i) {
                Result<Field>& field = fields[i];
                if (!field) {
                    if (field.error().kind() == AlgoError::Kind::Interrupted) stop.raise();
                    const std::lock_guard lock(mutex);
                    if (k + i < error_at) {
                        error_at = k + i;
                        error = std::move(field).error();
                        failed_at.store(k + i);
                    }
                    continue;
                }
                double* dst = out.data() + (k + i) * static_cast<std::size_t>(nodes);
                const double* src = field->data();
                for (std::size_t t = 0; t < field->size(); ++t) dst[t] = conditioning->transform.back(src[t]);
            }
        }
    });
    // A stop seen by one worker ends the others at their next check; report
    // it rather than the error of a seed cut short.
    if (stop.raised()) return fail(AlgoError::interrupted("sgs"));
    if (error) return fail(std::move(*error));
    return out;
}

}  // namespace zaviktools
