// The Python class PetroZoneSpec, the coupled petrophysics curves and the NTG
// display curve.
#include <cstdint>
#include <vector>

#include "frame/budget.hpp"
#include "frame/classes.hpp"
#include "frame/entry.hpp"
#include "frame/interrupt.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "synth/petro.hpp"

namespace zk = zaviktools;
using zk::PetroZoneSpec;

ZK_CONSTRUCTOR(PetroZoneSpec,
               "PetroZoneSpec(ntg_target, net_por_mean, net_por_std, nonnet_por_mean, nonnet_por_std, bed_scale_m, "
               "correlation_len_m, net_cutoff=...)",
               "One zone's **coupled** petrophysics target: a porosity generator whose net flag\n"
               "is *derived* from porosity by `net_cutoff` (`net_flag = phie \u2265 net_cutoff`),\n"
               "calibrated so the realized series hits the quoted `ntg_target` and the net-rock\n"
               "`(net_por_mean, net_por_std)`. `nonnet_por_*` is the shale (non-net) porosity\n"
               "distribution. The sand porosity distribution and facies proportion are solved\n"
               "internally. Requires `0 < net_cutoff < 1`, `0 < ntg_target < 1`, feasible `[0,1]`\n"
               "moment targets, and positive length scales.") {
    double ntg_target = 0.0, net_por_mean = 0.0, net_por_std = 0.0, nonnet_por_mean = 0.0, nonnet_por_std = 0.0;
    double bed_scale_m = 0.0, correlation_len_m = 0.0, net_cutoff = 0.1;
    if (!args.parse(ntg_target, net_por_mean, net_por_std, nonnet_por_mean, nonnet_por_std, bed_scale_m,
                    correlation_len_m, net_cutoff))
        return nullptr;
    auto net = zk::MomentSpec::create(net_por_mean, net_por_std);
    if (!net) return zkpy::to_pyerr(std::move(net).error());
    auto nonnet = zk::MomentSpec::create(nonnet_por_mean, nonnet_por_std);
    if (!nonnet) return zkpy::to_pyerr(std::move(nonnet).error());
    auto z = PetroZoneSpec::create(*net, *nonnet, net_cutoff, ntg_target, bed_scale_m, correlation_len_m);
    if (!z) return zkpy::to_pyerr(std::move(z).error());
    return zkpy::wrap(*z);
}

ZK_FUNCTION(synth_petro_curves, "synth_petro_curves(zone, depth_step, n_samples, seed)",
            "The **coupled** porosity + derived net-flag curve for one `zone`, `n_samples`\n"
            "samples spaced `depth_step` m (top first). The net flag is `phie \u2265 net_cutoff`\n"
            "by construction; the generator solves a facies mixture so the realized series\n"
            "hits `ntg_target` and the net-rock moments (see `PetroZoneSpec`). Returns a dict\n"
            "`{\"phie\": [float], \"net_flag\": [int] (1/0)}`. Errors on an infeasible spec (with\n"
            "the achievable bound stated). Seeded/reproducible.") {
    zkpy::Instance<PetroZoneSpec> zone;
    double depth_step = 0.0;
    std::uint64_t n_samples = 0, seed = 0;
    if (!args.parse(zone, depth_step, n_samples, seed)) return nullptr;
    // Facies, their driving series, the two curves and the porosity driver
    // (33 bytes a sample), then two lists.
    const std::uint64_t native = zkpy::sat_mul(n_samples, 33);
    const std::uint64_t lists = zkpy::sat_mul(2, zkpy::float_list(n_samples));
    if (!zkpy::fits_in_memory("synth_petro_curves", {zkpy::sat_add(native, lists), native})) return nullptr;
    const PetroZoneSpec value = *zone;
    auto curves = zkpy::without_gil([&] { return zk::synth_petro_curves(value, depth_step, n_samples, seed); });
    if (!curves) return zkpy::to_pyerr(std::move(curves).error());
    return zkpy::DictBuilder().set("phie", curves->phie).set("net_flag", curves->net_flag).build();
}

ZK_FUNCTION(ntg_curve, "ntg_curve(net_flag, depth_step, window_m)",
            "A continuous NTG **display** curve from a derived `net_flag` (list of numbers,\n"
            "non-zero = net \u2014 accepts the `1.0`/`0.0` floats `synth_petro_curves` returns, or\n"
            "`1`/`0` ints): the centred running mean of the flag over a `window_m`-metre window\n"
            "(samples spaced `depth_step` m). Returns a `[0,1]` list aligned with `net_flag`.") {
    std::vector<double> net_flag;
    double depth_step = 0.0, window_m = 0.0;
    if (!args.parse(net_flag, depth_step, window_m)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the curve is built with the lock held
    return zkpy::to_py(zk::ntg_curve(net_flag, depth_step, window_m));
}

namespace {

template <auto M>
constexpr getter get = zkpy::get_member<PetroZoneSpec, M>;

PyGetSetDef petro_zone_spec_getset[] = {
    {"net_cutoff", get<&PetroZoneSpec::net_cutoff>, nullptr, "Porosity cutoff of the net flag.", nullptr},
    {"ntg_target", get<&PetroZoneSpec::ntg_target>, nullptr, "Target net-to-gross.", nullptr},
    {"bed_scale_m", get<&PetroZoneSpec::bed_scale_m>, nullptr, "Facies bed scale in metres.", nullptr},
    {"correlation_len_m", get<&PetroZoneSpec::correlation_len_m>, nullptr,
     "Porosity autocorrelation length in metres.", nullptr},
    {"net_por_mean", get<&PetroZoneSpec::net_por_mean>, nullptr, "Target mean porosity of the net rock.", nullptr},
    {"net_por_std", get<&PetroZoneSpec::net_por_std>, nullptr, "Target porosity std of the net rock.", nullptr},
    {"nonnet_por_mean", get<&PetroZoneSpec::nonnet_por_mean>, nullptr, "Mean porosity of the shale.", nullptr},
    {"nonnet_por_std", get<&PetroZoneSpec::nonnet_por_std>, nullptr, "Porosity std of the shale.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

void petro_zone_spec_fields(const PetroZoneSpec& z, zkpy::FieldBytes& k) {
    k.add(z.net_por_mean, z.net_por_std, z.nonnet_por_mean, z.nonnet_por_std, z.net_cutoff, z.ntg_target,
          z.bed_scale_m, z.correlation_len_m);
}

PyObject* petro_zone_spec_repr(PyObject* self) {
    return zkpy::to_py(zk::petro_zone_spec_repr(zkpy::self_of<PetroZoneSpec>(self)));
}

}  // namespace

PyObject* zkpy_class_PetroZoneSpec() {
    static const zkpy::ClassDef def{"zaviktools._zaviktools.PetroZoneSpec", "PetroZoneSpec", zkc_PetroZoneSpec_doc,
                                    zkc_PetroZoneSpec_new, nullptr, petro_zone_spec_getset,
                                    zkpy::guarded_slot<&petro_zone_spec_repr>,
                                    zkpy::value_slots<PetroZoneSpec, &petro_zone_spec_fields>()};
    return zkpy::make_class<PetroZoneSpec>(def);
}
