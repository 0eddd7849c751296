#include <cmath>

#include "foundation/format.hpp"
#include "synth/petro.hpp"

namespace zaviktools {

namespace {
bool open_unit(double x) { return std::isfinite(x) && x > 0.0 && x < 1.0; }
bool positive_finite(double x) { return std::isfinite(x) && x > 0.0; }
}  // namespace

Result<PetroZoneSpec> PetroZoneSpec::create(const MomentSpec& net_por, const MomentSpec& nonnet_por,
                                            double net_cutoff, double ntg_target, double bed_scale_m,
                                            double correlation_len_m) {
    if (!open_unit(net_cutoff)) return fail(AlgoError::invalid_argument("PetroZoneSpec: need 0 < net_cutoff < 1"));
    if (!open_unit(ntg_target)) return fail(AlgoError::invalid_argument("PetroZoneSpec: need 0 < ntg_target < 1"));
    if (!positive_finite(bed_scale_m))
        return fail(AlgoError::invalid_argument("PetroZoneSpec: bed_scale_m must be finite and > 0"));
    if (!positive_finite(correlation_len_m))
        return fail(AlgoError::invalid_argument("PetroZoneSpec: correlation_len_m must be finite and > 0"));
    return PetroZoneSpec{net_por.mean,  net_por.std, nonnet_por.mean, nonnet_por.std,
                         net_cutoff,    ntg_target,  bed_scale_m,     correlation_len_m};
}

std::string petro_zone_spec_repr(const PetroZoneSpec& z) {
    return "PetroZoneSpec(net_cutoff=" + fmt_num(z.net_cutoff) + ", ntg_target=" + fmt_num(z.ntg_target) +
           ", net_por=(" + fmt_num(z.net_por_mean) + ", " + fmt_num(z.net_por_std) + "), nonnet_por=(" +
           fmt_num(z.nonnet_por_mean) + ", " + fmt_num(z.nonnet_por_std) + "), bed_scale_m=" +
           fmt_num(z.bed_scale_m) + ", correlation_len_m=" + fmt_num(z.correlation_len_m) + ")";
}

}  // namespace zaviktools
