#include "sampling/normal.hpp"

#include <bit>
#include <cmath>
#include <cstdint>

namespace zaviktools {

namespace {

constexpr double kR = 3.6541528853610088;  // tail start, X[1]
constexpr double kV = 0.00492867323399;     // common layer area

ZigguratTables build_tables() {
    ZigguratTables t{};
    t.x[0] = kV / std::exp(-kR * kR / 2.0);
    t.x[1] = kR;
    for (int i = 1; i <= 254; ++i) t.x[i + 1] = std::sqrt(-2.0 * std::log(kV / t.x[i] + std::exp(-t.x[i] * t.x[i] / 2.0)));
    t.x[256] = 0.0;
    for (int i = 0; i <= 256; ++i) t.f[i] = std::exp(-t.x[i] * t.x[i] / 2.0);
    // Three entries are stored literals, a few units in the last place off what
    // exp gives here (F[0] 6 below, F[3] 1 above, F[94] 1 below); the literals
    // are the table.
    t.f[0] = 0.000477467764586655;
    t.f[3] = 0.004037972593371872;
    t.f[94] = 0.2064054063986793;
    return t;
}

// (b >> 12) with exponent 2^1, minus 3: a value in [-1, 1).
inline double signed_unit(std::uint64_t b) {
    return std::bit_cast<double>((b >> 12) | 0x4000000000000000ull) - 3.0;
}

}  // namespace

const ZigguratTables& ziggurat_tables() {
    static const ZigguratTables tables = build_tables();
    return tables;
}

double standard_normal(Rng& rng) {
    const ZigguratTables& t = ziggurat_tables();
    for (;;) {
        const std::uint64_t b = next_u64(rng);
        const std::size_t i = static_cast<std::size_t>(b & 0xFF);
        const double u = signed_unit(b);
        const double x = u * t.x[i];
        if (std::fabs(x) < t.x[i + 1]) return x;
        if (i == 0) {
            double xt, y;
            do {
                xt = std::log(open01_f64(rng)) / kR;
                y = std::log(open01_f64(rng));
            } while (xt * xt > -2.0 * y);
            return u < 0.0 ? xt - kR : kR - xt;
        }
        const double v = unit_f64(rng);
        if (std::exp(x * x * (-0.5)) > v * (t.f[i] - t.f[i + 1]) + t.f[i + 1]) return x;
    }
}

}  // namespace zaviktools
