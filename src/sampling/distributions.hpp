// Validated probability distributions drawn from the seeded stream: `Sampler`
// (uniform, normal, log-normal, triangular, truncated normal) and `Clamped`, a
// sampler whose draws are limited to an interval.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "foundation/error.hpp"
#include "sampling/rng.hpp"

namespace zaviktools {

struct Clamped;

// Immutable; always satisfies the rule of the constructor that built it.
struct Sampler {
    struct Uniform {
        double lo, hi;  // [lo, hi)
    };
    struct Normal {
        double mean, std_dev;
    };
    struct LogNormal {
        double mean, std_dev;  // of ln X
    };
    struct Triangular {
        double min, mode, max;
    };
    struct TruncatedNormal {
        double mean, std_dev, lo, hi;  // Normal(mean, std_dev) conditioned on [lo, hi]
    };
    using Variant = std::variant<Uniform, Normal, LogNormal, Triangular, TruncatedNormal>;

    Variant variant;

    static Result<Sampler> new_uniform(double lo, double hi);
    // The normal and the log-normal also refuse parameters under which a draw
    // could overflow to inf (see kStandardNormalBound in sampling/normal.hpp).
    static Result<Sampler> new_normal(double mean, double std_dev);
    static Result<Sampler> new_lognormal(double mean, double std_dev);
    static Result<Sampler> new_triangular(double min, double mode, double max);
    static Result<Sampler> new_truncated_normal(double mean, double std_dev, double lo, double hi);

    // This sampler with every draw clamped into [lo, hi].
    Result<Clamped> clamped(double lo, double hi) const;

    // One draw, advancing `rng` (the truncated normal with no representable mass
    // between its bounds draws nothing).
    double sample(Rng& rng) const;

    // "Normal { mean: 0.0, std_dev: 1.0 }"
    std::string debug() const;
};

struct Clamped {
    Sampler inner;
    double lo, hi;  // finite, lo < hi

    // inner.sample, then below lo -> lo, above hi -> hi; NaN passes through.
    double sample(Rng& rng) const;

    // "Clamped { inner: Uniform { lo: -10.0, hi: 10.0 }, lo: -5.0, hi: 5.0 }"
    std::string debug() const;
};

// n consecutive draws on the same stream, in draw order. Interrupted
// "sample_n" when the installed StopPoll asks to stop; `rng` is then left
// exactly as it was before the call.
Result<std::vector<double>> sample_n(const Sampler& s, std::size_t n, Rng& rng);
Result<std::vector<double>> sample_n(const Clamped& s, std::size_t n, Rng& rng);

// sample_n on a fresh seeded_rng(seed).
Result<std::vector<double>> sample_n_seeded(const Sampler& s, std::size_t n, std::uint64_t seed);
Result<std::vector<double>> sample_n_seeded(const Clamped& s, std::size_t n, std::uint64_t seed);

}  // namespace zaviktools
