// The Python class ZoneSpec and the zone-stack log generators.
#include <cstdint>
#include <vector>

#include "frame/budget.hpp"
#include "frame/classes.hpp"
#include "frame/entry.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "synth/log_series.hpp"

namespace zk = zaviktools;
using zk::ZoneSpec;

namespace zkpy {
namespace {

// An item of `zones`: an exact ZoneSpec instance, its fields copied so the
// computation never depends on the caller's list afterwards.
struct ZoneArg {
    ZoneSpec value{};
};

[[maybe_unused]] bool from_py(PyObject* o, ZoneArg& out) {
    if (!ClassSlot<ZoneSpec>::type || Py_TYPE(o) != ClassSlot<ZoneSpec>::type)
        return fail_not_instance(o, "ZoneSpec");
    out.value = self_of<ZoneSpec>(o);
    return true;
}

std::vector<ZoneSpec> values(const std::vector<ZoneArg>& zones) {
    std::vector<ZoneSpec> out;
    out.reserve(zones.size());
    for (const ZoneArg& z : zones) out.push_back(z.value);
    return out;
}

}  // namespace
}  // namespace zkpy

ZK_CONSTRUCTOR(ZoneSpec, "ZoneSpec(thickness_m, mean, std, corr_length_m)",
               "One zone's petrophysical target for a synthetic log: a `thickness_m`, the\n"
               "property target `{mean, std}` (a `[0,1]` fraction), and the depth\n"
               "autocorrelation length `corr_length_m` (bed scale). Requires `0 < mean < 1`,\n"
               "`std > 0` with `std\u00b2 < mean\u00b7(1\u2212mean)`, and positive thickness / correlation\n"
               "length.") {
    double thickness_m = 0.0, mean = 0.0, std = 0.0, corr_length_m = 0.0;
    if (!args.parse(thickness_m, mean, std, corr_length_m)) return nullptr;
    auto z = ZoneSpec::create(thickness_m, mean, std, corr_length_m);
    if (!z) return zkpy::to_pyerr(std::move(z).error());
    return zkpy::wrap(*z);
}

ZK_FUNCTION(zone_sample_counts, "zone_sample_counts(zones, depth_step)",
            "Per-zone depth-sample counts of the `zones` stack at `depth_step` \u2014 the shared\n"
            "depth layout of a stack's logs.") {
    std::vector<zkpy::ZoneArg> zones;
    double depth_step = 0.0;
    if (!args.parse(zones, depth_step)) return nullptr;
    return zkpy::to_py(zk::zone_sample_counts(zkpy::values(zones), depth_step));
}

ZK_FUNCTION(synth_log_series, "synth_log_series(zones, depth_step, transition_beds, seed)",
            "One continuous, depth-autocorrelated log over the `zones` stack, sampled every\n"
            "`depth_step` m (top first). Each zone hits its `{mean, std}` in `[0,1]`;\n"
            "`transition_beds` blends the statistics across each internal boundary\n"
            "(`0` = hard). Seeded/reproducible. Returns the series (a list of floats).") {
    std::vector<zkpy::ZoneArg> zones;
    double depth_step = 0.0;
    std::uint64_t transition_beds = 0, seed = 0;
    if (!args.parse(zones, depth_step, transition_beds, seed)) return nullptr;
    const std::vector<ZoneSpec> stack = zkpy::values(zones);
    // The driving and the transformed series (16 bytes a sample), then the list.
    std::uint64_t n = 0;
    for (const ZoneSpec& z : stack) n = zkpy::sat_add(n, zk::zone_sample_count(z, depth_step));
    const std::uint64_t native = zkpy::sat_mul(n, 16);
    if (!zkpy::fits_in_memory("synth_log_series", {zkpy::sat_add(native, zkpy::float_list(n)), native}))
        return nullptr;
    auto v = zkpy::without_gil([&] { return zk::synth_log_series(stack, depth_step, transition_beds, seed); });
    return zkpy::to_py(std::move(v));
}

namespace {

template <auto M>
constexpr getter get = zkpy::get_member<ZoneSpec, M>;

PyGetSetDef zone_spec_getset[] = {
    {"thickness_m", get<&ZoneSpec::thickness_m>, nullptr, "Zone thickness in metres.", nullptr},
    {"mean", get<&ZoneSpec::mean>, nullptr, "Target mean of the [0,1] property.", nullptr},
    {"std", get<&ZoneSpec::std>, nullptr, "Target standard deviation of the [0,1] property.", nullptr},
    {"corr_length_m", get<&ZoneSpec::corr_length_m>, nullptr, "Depth autocorrelation length in metres.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

void zone_spec_fields(const ZoneSpec& z, zkpy::FieldBytes& k) {
    k.add(z.thickness_m, z.mean, z.std, z.corr_length_m);
}

PyObject* zone_spec_repr(PyObject* self) { return zkpy::to_py(zk::zone_spec_repr(zkpy::self_of<ZoneSpec>(self))); }

}  // namespace

PyObject* zkpy_class_ZoneSpec() {
    static const zkpy::ClassDef def{"zaviktools._zaviktools.ZoneSpec", "ZoneSpec", zkc_ZoneSpec_doc, zkc_ZoneSpec_new,
                                    nullptr, zone_spec_getset, zkpy::guarded_slot<&zone_spec_repr>,
                                    zkpy::value_slots<ZoneSpec, &zone_spec_fields>()};
    return zkpy::make_class<ZoneSpec>(def);
}
