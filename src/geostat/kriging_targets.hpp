// What kriging at targets other than a whole isotropic lattice shares
// (krige_points, the anisotropic krige_grid, cross_validate): the input
// checks, the merged data indexed in the variogram's neighbour metric and
// the system of one target.
//
// Isotropic variogram: neighbours by Euclidean distance and the system of
// ordinary_kriging_at, so a target at a lattice node gets the bits of the
// local kriging grid there. Anisotropic: neighbours by the variogram's
// reduced distance (radius in major-axis units), the system from
// SpatialVariogram::gamma_offset_2d of the data's own offsets.
#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/lattice.hpp"
#include "foundation/parts.hpp"
#include "geostat/local_kriging.hpp"
#include "geostat/neighbourhood.hpp"
#include "geostat/prep.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

// The plane in which neighbours are chosen: the identity for an isotropic
// variogram; for an anisotropic one (x, y) -> (along, across · major / minor),
// the components along and across the major axis, where Euclidean distance is
// the variogram's reduced distance.
class NeighbourMetric {
public:
    explicit NeighbourMetric(const SpatialVariogram& variogram);
    Xy map(Xy p) const {
        if (!scaled_) return p;
        return {p.y * k_ + p.x * s_, (p.x * k_ - p.y * s_) * ratio_};
    }

private:
    bool scaled_ = false;
    double s_ = 0.0;
    double k_ = 1.0;
    double ratio_ = 1.0;
};

// The checks of every kriging entry point, in this order:
//   InvalidArgument "{op}: need max_neighbours >= 1 and radius > 0"
//   EmptyInput `no_data`
//   InvalidArgument "{op}: point {i} is not finite (x, y and z must be finite)"   first offending row
std::optional<AlgoError> check_kriging_inputs(const char* op, const char* no_data, std::span<const DataPoint> points,
                                              std::size_t max_neighbours, double radius);

// The data merged by dedup_coincident, and their index in the neighbour
// metric (entry k is merged datum k).
struct IndexedData {
    std::vector<DataPoint> data;
    std::vector<std::size_t> location_of;  // per input point its merged datum, when asked for
    NeighbourMetric metric;
    Neighbourhood index;
};
IndexedData index_data(std::span<const DataPoint> points, const SpatialVariogram& variogram, bool locate);

// Ordinary kriging of one target at a time by its own neighbour query.
class TargetKriger {
public:
    static constexpr std::size_t kNoSkip = std::numeric_limits<std::size_t>::max();

    TargetKriger(const IndexedData& data, const SpatialVariogram& variogram, std::size_t max_neighbours,
                 double radius, SolvePath path)
        : data_(data), variogram_(variogram), k_(max_neighbours), radius_(radius), path_(path) {}

    // The target at world position `p`, from up to max_neighbours data
    // within the radius other than merged datum `skip`. False without data
    // in range or for a singular system.
    bool krige(Xy p, KrigedValue& out, std::size_t skip = kNoSkip);

private:
    const IndexedData& data_;
    const SpatialVariogram& variogram_;
    std::size_t k_;
    double radius_;
    SolvePath path_;
    KrigingScratch scratch_;
};

// Target t of a run of krige_each: its world position, and the merged datum
// left out of its neighbours (TargetKriger::kNoSkip for none); `use` false
// leaves it undefined.
struct Target {
    Xy p;
    std::size_t skip = TargetKriger::kNoSkip;
    bool use = true;
};

// Kriges targets 0 .. count-1, each by its own query, in runs of consecutive
// ones spread over the workers of `run`: target(t) says what to krige,
// store(t, value) hears each defined result. False when a stop ended it early.
template <class TargetOf, class Store>
bool krige_each(const IndexedData& data, const SpatialVariogram& variogram, std::size_t max_neighbours,
                double radius, const KrigeRun& run, std::size_t count, TargetOf&& target, Store&& store) {
    constexpr std::size_t kPerPart = 64;  // a part: about the nodes of a lattice block
    const std::size_t parts = (count + kPerPart - 1) / kPerPart;
    return run_parts(kriging_workers(run, count, parts), parts, [&] {
        return [&, kriger = TargetKriger(data, variogram, max_neighbours, radius, run.path)](
                   std::size_t part) mutable {
            KrigedValue v{};
            const std::size_t end = std::min(count, (part + 1) * kPerPart);
            for (std::size_t t = part * kPerPart; t < end; ++t) {
                const Target spec = target(t);
                if (spec.use && kriger.krige(spec.p, v, spec.skip)) store(t, v);
            }
        };
    });
}

}  // namespace zaviktools
