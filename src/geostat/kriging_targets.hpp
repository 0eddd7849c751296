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

#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/lattice.hpp"
#include "geostat/local_kriging.hpp"
#include "geostat/neighbourhood.hpp"
#include "gridding/kriging/prep.hpp"
#include "gridding/kriging/variogram.hpp"

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

}  // namespace zaviktools
