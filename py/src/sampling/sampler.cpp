// The Python `Sampler` class: static variant constructors, draws, clamped.
#include "frame/classes.hpp"
#include "frame/result.hpp"
#include "sampling/distributions.hpp"
#include "sampling/draws.hpp"

namespace zk = zaviktools;

namespace {

template <class T>
PyObject* wrap_result(zk::Result<T>&& r) {
    if (!r) return zkpy::to_pyerr(std::move(r).error());
    return zkpy::wrap(std::move(*r));
}

}  // namespace

ZK_STATIC(Sampler, uniform, "uniform(lo, hi)", "Uniform on `[lo, hi)`. Requires finite `lo < hi`.") {
    double lo = 0.0, hi = 0.0;
    if (!args.parse(lo, hi)) return nullptr;
    return wrap_result(zk::Sampler::new_uniform(lo, hi));
}

ZK_STATIC(Sampler, normal, "normal(mean, std_dev)", "Normal with the given `mean` and `std_dev` (`std_dev > 0`).") {
    double mean = 0.0, std_dev = 0.0;
    if (!args.parse(mean, std_dev)) return nullptr;
    return wrap_result(zk::Sampler::new_normal(mean, std_dev));
}

ZK_STATIC(Sampler, lognormal, "lognormal(mean, std_dev)",
          "Log-normal: `ln(x) ~ Normal(mean, std_dev)` — `mean`/`std_dev` parametrise\n"
          "the *underlying* normal (log-space). Draws are strictly positive.") {
    double mean = 0.0, std_dev = 0.0;
    if (!args.parse(mean, std_dev)) return nullptr;
    return wrap_result(zk::Sampler::new_lognormal(mean, std_dev));
}

ZK_STATIC(Sampler, triangular, "triangular(min, mode, max)",
          "Triangular on `[min, max]` peaking at `mode` (`min <= mode <= max`).") {
    double min = 0.0, mode = 0.0, max = 0.0;
    if (!args.parse(min, mode, max)) return nullptr;
    return wrap_result(zk::Sampler::new_triangular(min, mode, max));
}

ZK_STATIC(Sampler, truncated_normal, "truncated_normal(mean, std_dev, lo, hi)",
          "A `Normal(mean, std_dev)` **truncated** to `[lo, hi]`: the density is\n"
          "renormalised over the interval (exact clipped-CDF draw, always in bounds).\n"
          "Use this for a genuinely bounded quantity (a saturation in `[0, 1]`, a\n"
          "positive thickness). For a hard limiter instead, see `.clamped`.") {
    double mean = 0.0, std_dev = 0.0, lo = 0.0, hi = 0.0;
    if (!args.parse(mean, std_dev, lo, hi)) return nullptr;
    return wrap_result(zk::Sampler::new_truncated_normal(mean, std_dev, lo, hi));
}

ZK_METHOD(Sampler, sample, "sample($self, rng)", "Draw one sample, advancing `rng`.") {
    return zkpy::draw_one<zk::Sampler>(args);
}

ZK_METHOD(Sampler, sample_n, "sample_n($self, n, rng)", "Draw `n` samples, advancing `rng`.") {
    return zkpy::draw_n<zk::Sampler>(args, "Sampler.sample_n");
}

ZK_METHOD(Sampler, sample_n_seeded, "sample_n_seeded($self, n, seed)",
          "Convenience: draw `n` samples from a fresh `Rng(seed)`; equal to\n"
          "`sample_n(n, Rng(seed))`, and no other `Rng` is touched.") {
    return zkpy::draw_n_seeded<zk::Sampler>(args, "Sampler.sample_n_seeded");
}

ZK_METHOD(Sampler, clamped, "clamped($self, lo, hi)",
          "Wrap this sampler so every draw is clamped into `[lo, hi]` (out-of-range\n"
          "draws snap to the nearest bound → mass *piles* at `lo`/`hi`). The general\n"
          "hard-limiter combinator; works on any variant. Requires finite `lo < hi`.") {
    const zk::Sampler& self = zkpy::self_of<zk::Sampler>(args.self());
    double lo = 0.0, hi = 0.0;
    if (!args.parse(lo, hi)) return nullptr;
    return wrap_result(self.clamped(lo, hi));
}

static PyMethodDef sampler_methods[] = {
    ZK_MDEF(Sampler, uniform),  ZK_MDEF(Sampler, normal),   ZK_MDEF(Sampler, lognormal),
    ZK_MDEF(Sampler, triangular), ZK_MDEF(Sampler, truncated_normal), ZK_MDEF(Sampler, sample),
    ZK_MDEF(Sampler, sample_n), ZK_MDEF(Sampler, sample_n_seeded), ZK_MDEF(Sampler, clamped),
    {nullptr, nullptr, 0, nullptr}};

static const char sampler_doc[] =
    "A validated distribution to draw from. Build one with a variant constructor\n"
    "(`Sampler.uniform(...)`, `Sampler.normal(...)`, …) — each validates its\n"
    "parameters up front — then draw with `sample(rng)` / `sample_n(n, rng)` (an\n"
    "explicit [`Rng`] for reproducibility) or the `*_seeded` convenience.\n"
    "\n"
    "Units/conventions: parameters are in the quantity's own units. For\n"
    "`lognormal`, `mean`/`std_dev` are the parameters of the *underlying normal*\n"
    "(log-space). `truncated_normal` *reshapes* the density onto `[lo, hi]`\n"
    "(renormalised, no mass at the bounds); `.clamped(lo, hi)` instead *snaps*\n"
    "out-of-range draws to the nearest bound (mass piles at `lo`/`hi`).";

static PyObject* sampler_repr(PyObject* self) { return zkpy::debug_repr<zk::Sampler>(self, "Sampler"); }

PyObject* zkpy_class_Sampler() {
    static const zkpy::ClassDef def{"zaviktools._zaviktools.Sampler", "Sampler", sampler_doc, nullptr,
                                    sampler_methods, nullptr, zkpy::guarded_slot<&sampler_repr>,
                                    zkpy::value_slots<zk::Sampler, &zkpy::sampler_fields>()};
    return zkpy::make_class<zk::Sampler>(def);
}
