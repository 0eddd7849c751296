// Ordinary kriging of a block of nearby targets (lattice nodes or scattered
// points) from one shared candidate list (KrigingBlock). Every target gets
// the neighbour list and system of its own direct Neighbourhood query, so its
// estimate and variance are the same bits however the targets are grouped
// and whichever worker thread takes the group.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "foundation/lattice.hpp"
#include "geostat/kriging_block.hpp"
#include "geostat/local_kriging.hpp"
#include "geostat/ok_lanes.hpp"
#include "geostat/ok_system.hpp"

namespace zaviktools {

// One worker's engine: its candidate list and buffers, reused block after block.
class BlockKriger {
public:
    BlockKriger(const Variogram& variogram, std::span<const DataPoint> data, const Neighbourhood& index,
                std::size_t max_neighbours, double radius, SolvePath path)
        : variogram_(variogram), data_(data), index_(index), k_(max_neighbours), radius_(radius), path_(path) {}

    // Kriges `targets`, all within `reach` of `centre`, calling
    // store(t, ok, value) once for each t, in no fixed order (ok false: no
    // data in range or a singular system). With `may_split`, a candidate list
    // that is long compared with the neighbour count kriges nothing and
    // returns false: the caller then hands the block over in smaller parts.
    // On the vector path, systems of the same neighbour count are solved
    // four at a time (ok_lanes.hpp), each with its own system's bits, and
    // targets with the same ordered list share its factorisation.
    template <class Store>
    bool krige(std::span<const Xy> targets, Xy centre, double reach, bool may_split, Store&& store) {
        const std::size_t k = k_ < data_.size() ? k_ : data_.size();
        const std::size_t most = may_split ? 4 * k + 32 : std::numeric_limits<std::size_t>::max();
        const bool ready = block_.prepare(index_, data_, variogram_, centre, reach, k_, radius_, most);
        if (ready && block_.candidate_count() > most) return false;
        KrigedValue v{};
        if (!ready) {
            for (std::size_t t = 0; t < targets.size(); ++t) {
                const bool ok = krige_one(targets[t], v);
                store(t, ok, v);
            }
            return true;
        }
        if (!use_vector_path(path_)) {
            for (std::size_t t = 0; t < targets.size(); ++t) {
                block_.nearest_into(targets[t], k_, radius_, scratch_.neighbours, slots_);
                store(t, solve_one(v), v);
            }
            return true;
        }
        for (std::size_t t0 = 0; t0 < targets.size(); t0 += kChunk)
            krige_chunk(targets, t0, std::min(targets.size(), t0 + kChunk), store);
        return true;
    }

    // One target by its own query.
    bool krige_one(Xy p, KrigedValue& out) {
        index_.nearest_into(p.x, p.y, k_, scratch_.neighbours, radius_);
        return ordinary_kriging_at(variogram_, data_, scratch_, out, path_);
    }

private:
    // Targets whose lists are gathered before any is solved: a matrix
    // depends only on the ordered candidate slots, so targets sharing a list
    // share one factorisation (about a third of the nodes of a dense grid).
    static constexpr std::size_t kChunk = 256;
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};

    struct Job {
        std::vector<Neighbour> neighbours;
        std::vector<std::uint32_t> slots;
        std::uint64_t key = 0;         // hash of slots
        std::uint32_t reuser = kNone;  // next job with the same list (a chain from its owner)
    };

    // A hash of the ordered slots: independent products by position (no
    // chain of multiplies), so lists differing only in order differ too.
    static std::uint64_t slot_key(const std::vector<std::uint32_t>& slots) {
        std::uint64_t h = slots.size(), g = 0;
        std::size_t i = 0;
        for (; i + 2 <= slots.size(); i += 2) {
            h += (slots[i] + 1) * (0x9e3779b97f4a7c15ull + 2 * i);
            g += (slots[i + 1] + 1) * (0xc2b2ae3d27d4eb4full + 2 * i);
        }
        if (i < slots.size()) h += (slots[i] + 1) * 0x165667b19e3779f9ull;
        h ^= g * 0xff51afd7ed558ccdull;
        return h ^ (h >> 29);
    }

    // Targets [t0, t1): every list first, each new list's owner factored in
    // lanes with the other owners of its neighbour count, then the targets
    // sharing it solved from that lane's factors.
    template <class Store>
    void krige_chunk(std::span<const Xy> targets, std::size_t t0, std::size_t t1, Store&& store) {
        const std::size_t count = t1 - t0;
        if (jobs_.size() < count) jobs_.resize(count);
        std::size_t size = 8;
        while (size < 2 * count) size *= 2;
        table_.assign(size, kNone);
        owners_.clear();
        KrigedValue v{};
        for (std::size_t t = 0; t < count; ++t) {
            Job& job = jobs_[t];
            job.reuser = kNone;
            block_.nearest_into(targets[t0 + t], k_, radius_, job.neighbours, job.slots);
            if (job.neighbours.empty() || job.neighbours[0].distance == 0.0) {  // no system to solve
                store(t0 + t, solve_job(job, v), v);
                continue;
            }
            job.key = slot_key(job.slots);
            std::size_t at = job.key & (size - 1);
            for (; table_[at] != kNone; at = (at + 1) & (size - 1)) {
                Job& owner = jobs_[table_[at]];
                if (owner.key == job.key && owner.slots == job.slots) break;
            }
            if (table_[at] == kNone) {
                table_[at] = static_cast<std::uint32_t>(t);
                owners_.push_back(static_cast<std::uint32_t>(t));
            } else {
                Job& owner = jobs_[table_[at]];
                job.reuser = owner.reuser;
                owner.reuser = static_cast<std::uint32_t>(t);
            }
        }
        // Owners in runs of one neighbour count, four lanes at a time.
        std::size_t begin = 0;
        while (begin < owners_.size()) {
            const std::size_t m = jobs_[owners_[begin]].slots.size();
            std::size_t end = begin + 1;
            while (end < owners_.size() && end - begin < kSolveLanes && jobs_[owners_[end]].slots.size() == m) ++end;
            flush(t0, begin, end, store);
            begin = end;
        }
    }

    // Owners [begin, end) of owners_ (same neighbour count): a lone one
    // without followers on its own, otherwise side by side with idle lanes
    // repeating the first; then each owner's followers.
    template <class Store>
    void flush(std::size_t t0, std::size_t begin, std::size_t end, Store&& store) {
        KrigedValue v{};
        const std::size_t count = end - begin;
        Job& first = jobs_[owners_[begin]];
        if (count == 1 && first.reuser == kNone) {
            store(t0 + owners_[begin], solve_job(first, v), v);
            return;
        }
        const std::size_t m = first.slots.size();
        double* a = systems_.reserve(m);
        const std::vector<Neighbour>* lists[kSolveLanes];
        const std::uint32_t* slots[kSolveLanes];
        for (std::size_t l = 0; l < kSolveLanes; ++l) {
            const Job& job = jobs_[owners_[l < count ? begin + l : begin]];
            lists[l] = &job.neighbours;
            slots[l] = job.slots.data();
        }
        block_.fill_pair_lanes(slots, m, a, m + 1);
        bool ok[kSolveLanes];
        KrigedValue out[kSolveLanes];
        solve_ordinary_kriging_lanes(variogram_, data_, lists, systems_, ok, out);
        // The followers of the lanes that factored, four at a time from
        // those lanes' factors (idle lanes repeat the first).
        std::uint32_t follower[kSolveLanes];
        std::size_t src[kSolveLanes];
        std::size_t ready = 0;
        auto solve_followers = [&] {
            const std::vector<Neighbour>* followers[kSolveLanes];
            for (std::size_t l = 0; l < kSolveLanes; ++l) {
                const std::size_t f = l < ready ? l : 0;
                followers[l] = &jobs_[follower[f]].neighbours;
                src[l] = src[f];
            }
            KrigedValue got[kSolveLanes];
            solve_ordinary_kriging_lanes_from(variogram_, data_, followers, src, systems_, got);
            for (std::size_t l = 0; l < ready; ++l) store(t0 + follower[l], true, got[l]);
            ready = 0;
        };
        for (std::size_t l = 0; l < count; ++l) {
            const std::uint32_t owner = owners_[begin + l];
            store(t0 + owner, ok[l], out[l]);
            for (std::uint32_t r = jobs_[owner].reuser; r != kNone; r = jobs_[r].reuser) {
                if (!ok[l]) {
                    store(t0 + r, false, v);
                    continue;
                }
                follower[ready] = r;
                src[ready] = l;
                if (++ready == kSolveLanes) solve_followers();
            }
        }
        if (ready > 0) solve_followers();
    }

    // The system of scratch_.neighbours / slots_ on its own.
    bool solve_one(KrigedValue& v) {
        auto fill = [&](double* a, std::size_t n, std::size_t) { block_.fill_pair_matrix(slots_, a, n, path_); };
        return solve_ordinary_kriging(variogram_, data_, scratch_, fill, path_, v);
    }

    bool solve_job(Job& job, KrigedValue& v) {
        std::swap(scratch_.neighbours, job.neighbours);
        std::swap(slots_, job.slots);
        const bool ok = solve_one(v);
        std::swap(scratch_.neighbours, job.neighbours);
        std::swap(slots_, job.slots);
        return ok;
    }

    const Variogram& variogram_;
    std::span<const DataPoint> data_;
    const Neighbourhood& index_;
    std::size_t k_;
    double radius_;
    SolvePath path_;
    KrigingBlock block_;
    KrigingScratch scratch_;
    std::vector<std::uint32_t> slots_;
    std::vector<Job> jobs_;
    std::vector<std::uint32_t> table_;   // open addressing by key: owner jobs
    std::vector<std::uint32_t> owners_;  // jobs that factor, in target order
    LaneSystems systems_;
};

}  // namespace zaviktools
