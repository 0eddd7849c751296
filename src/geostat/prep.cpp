#include "geostat/prep.hpp"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace zaviktools {
namespace {

struct LocationKey {
    std::uint64_t x;
    std::uint64_t y;
    bool operator==(const LocationKey&) const = default;
};

struct LocationHash {
    std::size_t operator()(const LocationKey& k) const {
        // splitmix64 finaliser over both words; any hash gives the same result.
        std::uint64_t h = k.x * 0x9E3779B97F4A7C15ull ^ (k.y + 0x632BE59BD9B4E019ull + (k.x << 6) + (k.x >> 2));
        h ^= h >> 30;
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 27;
        h *= 0x94D049BB133111EBull;
        h ^= h >> 31;
        return static_cast<std::size_t>(h);
    }
};

LocationKey key_of(const DataPoint& p) {
    return {std::bit_cast<std::uint64_t>(p[0] + 0.0), std::bit_cast<std::uint64_t>(p[1] + 0.0)};
}

// `located(i, entry)` hears, for each point in order, the entry it joins.
template <class Located>
std::vector<DataPoint> merge_coincident(std::span<const DataPoint> points, Located&& located) {
    std::vector<DataPoint> merged;  // z holds the running sum until the end
    std::vector<double> counts;
    merged.reserve(points.size());
    counts.reserve(points.size());
    std::unordered_map<LocationKey, std::size_t, LocationHash> where;
    where.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const DataPoint& p = points[i];
        auto [it, fresh] = where.try_emplace(key_of(p), merged.size());
        located(i, it->second);
        if (fresh) {
            merged.push_back(p);
            counts.push_back(1.0);
        } else {
            merged[it->second][2] += p[2];
            counts[it->second] += 1.0;
        }
    }
    for (std::size_t k = 0; k < merged.size(); ++k) merged[k][2] = merged[k][2] / counts[k];
    return merged;
}

}  // namespace

std::vector<DataPoint> dedup_coincident(std::span<const DataPoint> points) {
    return merge_coincident(points, [](std::size_t, std::size_t) {});
}

std::vector<DataPoint> dedup_coincident(std::span<const DataPoint> points, std::vector<std::size_t>& location_of) {
    location_of.resize(points.size());
    return merge_coincident(points, [&](std::size_t i, std::size_t entry) { location_of[i] = entry; });
}

}  // namespace zaviktools
