// The Python `Clamped` class: a sampler whose draws are clamped into [lo, hi].
#include "frame/classes.hpp"
#include "frame/result.hpp"
#include "sampling/distributions.hpp"
#include "sampling/draws.hpp"

namespace zk = zaviktools;

ZK_METHOD(Clamped, sample, "sample($self, rng)", "Draw one clamped sample, advancing `rng`.") {
    return zkpy::draw_one<zk::Clamped>(args);
}

ZK_METHOD(Clamped, sample_n, "sample_n($self, n, rng)", "Draw `n` clamped samples, advancing `rng`.") {
    return zkpy::draw_n<zk::Clamped>(args, "Clamped.sample_n");
}

ZK_METHOD(Clamped, sample_n_seeded, "sample_n_seeded($self, n, seed)",
          "Convenience: draw `n` clamped samples from a fresh `Rng(seed)`.") {
    return zkpy::draw_n_seeded<zk::Clamped>(args, "Clamped.sample_n_seeded");
}

static PyMethodDef clamped_methods[] = {ZK_MDEF(Clamped, sample), ZK_MDEF(Clamped, sample_n),
                                        ZK_MDEF(Clamped, sample_n_seeded), {nullptr, nullptr, 0, nullptr}};

static const char clamped_doc[] =
    "A sampler whose every draw is clamped into `[lo, hi]` (see\n"
    "[`PySampler::clamped`]). Same draw API as [`PySampler`].";

static PyObject* clamped_repr(PyObject* self) { return zkpy::debug_repr<zk::Clamped>(self, "Clamped"); }

PyObject* zkpy_class_Clamped() {
    static const zkpy::ClassDef def{"zaviktools._zaviktools.Clamped", "Clamped", clamped_doc, nullptr,
                                    clamped_methods, nullptr, zkpy::guarded_slot<&clamped_repr>,
                                    zkpy::value_slots<zk::Clamped, &zkpy::clamped_fields>()};
    return zkpy::make_class<zk::Clamped>(def);
}
