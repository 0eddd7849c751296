// The Python `Rng` class: owns one seeded stream; draws borrow it exclusively.
#include <cstdint>

#include "frame/classes.hpp"
#include "frame/result.hpp"
#include "sampling/rng.hpp"

namespace zk = zaviktools;

ZK_CONSTRUCTOR(Rng, "Rng(seed)",
               "A deterministic random stream (ChaCha12) built from the unsigned 64-bit `seed`:\n"
               "the same seed replays the same draws. Thread one instance through successive\n"
               "`sample` / `sample_n` calls; each call advances it.") {
    std::uint64_t seed = 0;
    if (!args.parse(seed)) return nullptr;
    return zkpy::wrap(zk::seeded_rng(seed));
}

// A shared use: refused while a draw holds the stream.
static PyObject* rng_repr(PyObject* self) {
    return zkpy::guarded([&]() -> PyObject* {
        zkpy::Shared<zk::Rng> rng;
        if (!zkpy::from_py(self, rng)) return nullptr;
        return zkpy::to_py("Rng(<seeded stream>)");
    });
}

static PyMethodDef rng_methods[] = {{nullptr, nullptr, 0, nullptr}};

PyObject* zkpy_class_Rng() {
    static const zkpy::ClassDef def{"zaviktools._zaviktools.Rng", "Rng", zkc_Rng_doc, zkc_Rng_new, rng_methods,
                                    nullptr, zkpy::guarded_slot<&rng_repr>};
    return zkpy::make_class<zk::Rng>(def);
}
