#include "geostat/sgs/ensemble.hpp"

#include <algorithm>
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
    run_workers(workers, [&](std::size_t) {
        SgsScratch scratch;
        SgsParams own = params;
        for (;;) {
            const std::size_t k = next.fetch_add(1);
            if (k >= seeds.size() || k > failed_at.load() || stop.raised()) return;
            own.seed = seeds[k];
            auto field = sgs_sweep(*conditioning, lattice, own, scratch, &stop);
            if (!field) {
                if (field.error().kind() == AlgoError::Kind::Interrupted) stop.raise();
                const std::lock_guard lock(mutex);
                if (k < error_at) {
                    error_at = k;
                    error = std::move(field).error();
                    failed_at.store(k);
                }
                continue;
            }
            double* dst = out.data() + k * static_cast<std::size_t>(nodes);
            const double* src = field->data();
            for (std::size_t i = 0; i < field->size(); ++i) dst[i] = conditioning->transform.back(src[i]);
        }
    });
    // A stop seen by one worker ends the others at their next check; report
    // it rather than the error of a seed cut short.
    if (stop.raised()) return fail(AlgoError::interrupted("sgs"));
    if (error) return fail(std::move(*error));
    return out;
}

}  // namespace zaviktools
