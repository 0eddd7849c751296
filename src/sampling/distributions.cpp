// Construction, validation and rendering of Sampler and Clamped.
#include "sampling/distributions.hpp"

#include <cmath>

#include "foundation/format.hpp"
#include "sampling/normal.hpp"

namespace zaviktools {

namespace {

bool finite(double x) { return std::isfinite(x); }

Result<Sampler> reject(const char* text) { return fail(AlgoError::invalid_argument(text)); }

std::string field(const char* name, double v) { return std::string(name) + ": " + fmt_debug(v); }

}  // namespace

Result<Sampler> Sampler::new_uniform(double lo, double hi) {
    if (!(finite(lo) && finite(hi) && lo < hi)) return reject("sampling: uniform needs finite lo < hi");
    return Sampler{Uniform{lo, hi}};
}

Result<Sampler> Sampler::new_normal(double mean, double std_dev) {
    if (!(finite(mean) && finite(std_dev) && std_dev > 0.0))
        return reject("sampling: normal needs finite mean and std_dev > 0");
    // Every draw mean + std_dev * z must be a finite double.
    if (!finite(std::fabs(mean) + kStandardNormalBound * std_dev))
        return reject("sampling: normal needs |mean| + 12.23 * std_dev finite, else draws overflow to inf");
    return Sampler{Normal{mean, std_dev}};
}

Result<Sampler> Sampler::new_lognormal(double mean, double std_dev) {
    if (!(finite(mean) && finite(std_dev) && std_dev > 0.0))
        return reject("sampling: lognormal needs finite mean and std_dev > 0 (log-space)");
    // Every draw exp(mean + std_dev * z) must be a finite double: exp(709.78) is.
    if (!(mean + kStandardNormalBound * std_dev <= 709.78))
        return reject("sampling: lognormal needs mean + 12.23 * std_dev <= 709.78 (log-space), else draws overflow "
                      "to inf");
    return Sampler{LogNormal{mean, std_dev}};
}

Result<Sampler> Sampler::new_triangular(double min, double mode, double max) {
    if (!(finite(min) && finite(mode) && finite(max) && min < max && min <= mode && mode <= max))
        return reject("sampling: triangular needs finite min < max with min <= mode <= max");
    return Sampler{Triangular{min, mode, max}};
}

Result<Sampler> Sampler::new_truncated_normal(double mean, double std_dev, double lo, double hi) {
    if (!(finite(mean) && finite(std_dev) && finite(lo) && finite(hi) && std_dev > 0.0 && lo < hi))
        return reject("sampling: truncated normal needs finite mean, std_dev > 0 and lo < hi");
    return Sampler{TruncatedNormal{mean, std_dev, lo, hi}};
}

Result<Clamped> Sampler::clamped(double lo, double hi) const {
    if (!(finite(lo) && finite(hi) && lo < hi))
        return fail(AlgoError::invalid_argument("sampling: clamp needs finite lo < hi"));
    return Clamped{*this, lo, hi};
}

std::string Sampler::debug() const {
    struct Render {
        std::string operator()(const Uniform& s) const {
            return "Uniform { " + field("lo", s.lo) + ", " + field("hi", s.hi) + " }";
        }
        std::string operator()(const Normal& s) const {
            return "Normal { " + field("mean", s.mean) + ", " + field("std_dev", s.std_dev) + " }";
        }
        std::string operator()(const LogNormal& s) const {
            return "LogNormal { " + field("mean", s.mean) + ", " + field("std_dev", s.std_dev) + " }";
        }
        std::string operator()(const Triangular& s) const {
            return "Triangular { " + field("min", s.min) + ", " + field("mode", s.mode) + ", " +
                   field("max", s.max) + " }";
        }
        std::string operator()(const TruncatedNormal& s) const {
            return "TruncatedNormal { " + field("mean", s.mean) + ", " + field("std_dev", s.std_dev) + ", " +
                   field("lo", s.lo) + ", " + field("hi", s.hi) + " }";
        }
    };
    return std::visit(Render{}, variant);
}

std::string Clamped::debug() const {
    return "Clamped { inner: " + inner.debug() + ", " + field("lo", lo) + ", " + field("hi", hi) + " }";
}

}  // namespace zaviktools
