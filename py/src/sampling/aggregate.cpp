// aggregate, reservoir_summary and the ReservoirSummary class.
#include <string>
#include <utility>
#include <vector>

#include "frame/classes.hpp"
#include "frame/entry.hpp"
#include "frame/interrupt.hpp"
#include "frame/ref.hpp"
#include "frame/result.hpp"
#include "sampling/aggregate.hpp"
#include "sampling/summary.hpp"

namespace zk = zaviktools;

namespace {

const zk::ReservoirSummary& summary_of(PyObject* self) { return zkpy::self_of<zk::ReservoirSummary>(self); }

PyObject* summary_repr(PyObject* self) { return zkpy::to_py(zk::summary_repr(summary_of(self))); }

}  // namespace

ZK_METHOD(ReservoirSummary, to_dict, "to_dict($self)",
          "The four fields as a plain `dict` (`{\"p90\", \"p50\", \"p10\", \"mean\"}`).") {
    if (!args.parse()) return nullptr;
    const zk::ReservoirSummary& s = summary_of(args.self());
    return zkpy::DictBuilder().set("p90", s.p90).set("p50", s.p50).set("p10", s.p10).set("mean", s.mean).build();
}

static PyMethodDef summary_methods[] = {ZK_MDEF(ReservoirSummary, to_dict), {nullptr, nullptr, 0, nullptr}};

static PyGetSetDef summary_getset[] = {
    {"p90", zkpy::get_member<zk::ReservoirSummary, &zk::ReservoirSummary::p90>, nullptr,
     "Low case: the value exceeded 90 % of the time (statistical 10th percentile).", nullptr},
    {"p50", zkpy::get_member<zk::ReservoirSummary, &zk::ReservoirSummary::p50>, nullptr,
     "Mid case: the median.", nullptr},
    {"p10", zkpy::get_member<zk::ReservoirSummary, &zk::ReservoirSummary::p10>, nullptr,
     "High case: the value exceeded 10 % of the time (statistical 90th percentile).", nullptr},
    {"mean", zkpy::get_member<zk::ReservoirSummary, &zk::ReservoirSummary::mean>, nullptr,
     "Arithmetic mean of the realizations.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyObject* zkpy_class_ReservoirSummary() {
    static const zkpy::ClassDef def{
        "zaviktools._zaviktools.ReservoirSummary",
        "ReservoirSummary",
        "The P90 (low) / P50 (mid) / P10 (high) / mean digest of a realization set.\n\n"
        "Fields follow the **oil-industry exceedance convention** (P90 = low): `p90`\n"
        "is the value exceeded 90 % of the time (statistical 10th percentile), `p10`\n"
        "the high (statistical 90th), so `p90 <= p50 <= p10`. Percentiles are type-7\n"
        "(Excel `PERCENTILE` parity). Read-only getters plus a `to_dict()`.",
        nullptr,
        summary_methods,
        summary_getset,
        zkpy::guarded_slot<&summary_repr>};
    return zkpy::make_class<zk::ReservoirSummary>(def);
}

ZK_FUNCTION(reservoir_summary, "reservoir_summary(data)",
            "Summarise `data` (one realization per element) into a [`ReservoirSummary`]\n"
            "under the oil-industry P90 = low convention. Errors on empty input.") {
    std::vector<double> data;
    if (!args.parse(data)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the loops hold the lock
    auto summary = zk::reservoir_summary(data);
    if (!summary) return zkpy::to_pyerr(std::move(summary).error());
    return zkpy::wrap(*summary);
}

ZK_FUNCTION(aggregate, "aggregate(segments, correlation=\"independent\")",
            "Sum per-segment realization vectors index-wise into a field total under a\n"
            "dependence assumption. `correlation` is `\"independent\"` (sum as-is) or\n"
            "`\"comonotonic\"` (sort each segment ascending, then sum rank-for-rank — the\n"
            "fully-dependent low-together/high-together bound). The result length is the\n"
            "shortest segment's; an empty input (or any empty segment) gives `[]`.") {
    std::vector<std::vector<double>> segments;
    std::string correlation = "independent";
    if (!args.parse(segments, correlation)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the loops hold the lock
    const auto mode = zkpy::name_or_raise(zk::parse_correlation(correlation));
    if (!mode) return nullptr;
    return zkpy::to_py(zk::aggregate(segments, *mode));
}
