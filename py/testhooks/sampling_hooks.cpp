// Hooks reaching the stream layer below the public classes: raw ChaCha12
// blocks, key words, word-level draws, the ziggurat tables, Φ / Φ⁻¹, and
// holders of a Python Rng's borrow for the borrow tests.
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "foundation/cpu.hpp"
#include "frame/classes.hpp"
#include "frame/entry.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "sampling/chacha12.hpp"
#include "sampling/normal.hpp"
#include "sampling/phi.hpp"
#include "sampling/rng.hpp"

namespace zk = zaviktools;

// kernel: "auto" (what the stream uses), "portable" or "avx2".
ZK_FUNCTION(chacha12_blocks, "chacha12_blocks(key, counter, kernel=\"auto\")", "Four ChaCha12 blocks (64 words).") {
    std::vector<std::uint64_t> key;
    std::uint64_t counter = 0;
    std::string kernel = "auto";
    if (!args.parse(key, counter, kernel)) return nullptr;
    if (key.size() != 8) {
        PyErr_SetString(PyExc_ValueError, "need 8 key words");
        return nullptr;
    }
    std::array<std::uint32_t, 8> k{};
    for (int i = 0; i < 8; ++i) k[i] = static_cast<std::uint32_t>(key[i]);
    zk::Rng rng = zk::keyed_rng(k);
    rng.state[12] = static_cast<std::uint32_t>(counter);
    rng.state[13] = static_cast<std::uint32_t>(counter >> 32);
    std::vector<std::uint64_t> out(64);
    std::uint32_t words[64];
    if (kernel == "portable") {
        zk::chacha12_blocks_portable(rng.state, words);
    } else if (kernel == "avx2") {
        if (!zk::cpu_has_avx2()) Py_RETURN_NONE;
        zk::chacha12_blocks_avx2(rng.state, words);
    } else {
        zk::chacha12_blocks(rng.state, words);
    }
    for (int i = 0; i < 64; ++i) out[i] = words[i];
    return zkpy::to_py(out);
}

ZK_FUNCTION(seed_key_words, "seed_key_words(seed)", "") {
    std::uint64_t seed = 0;
    if (!args.parse(seed)) return nullptr;
    const auto k = zk::seed_key_words(seed);
    return zkpy::to_py(std::vector<std::uint64_t>(k.begin(), k.end()));
}

ZK_FUNCTION(mix_seed, "mix_seed(seed)", "") {
    std::uint64_t seed = 0;
    if (!args.parse(seed)) return nullptr;
    return zkpy::to_py(zk::mix_seed(seed));
}

// Runs `ops` on seeded_rng(seed), one result per op: "u32", "u64", "unit",
// "open01", "normal", "index" (the buffer read index), "bounded:<i>",
// "uniform:<lo>:<hi>".
ZK_FUNCTION(stream_draws, "stream_draws(seed, ops)", "") {
    std::uint64_t seed = 0;
    std::vector<std::string> ops;
    if (!args.parse(seed, ops)) return nullptr;
    zk::Rng rng = zk::seeded_rng(seed);
    zkpy::Ref list(PyList_New(static_cast<Py_ssize_t>(ops.size())));
    if (!list) return nullptr;
    for (std::size_t k = 0; k < ops.size(); ++k) {
        const std::string& op = ops[k];
        PyObject* item = nullptr;
        if (op == "u32") item = zkpy::to_py(static_cast<std::uint64_t>(zk::next_u32(rng)));
        else if (op == "u64") item = zkpy::to_py(zk::next_u64(rng));
        else if (op == "unit") item = zkpy::to_py(zk::unit_f64(rng));
        else if (op == "open01") item = zkpy::to_py(zk::open01_f64(rng));
        else if (op == "normal") item = zkpy::to_py(zk::standard_normal(rng));
        else if (op == "index") item = zkpy::to_py(static_cast<std::uint64_t>(rng.index));
        else if (op.rfind("bounded:", 0) == 0) item = zkpy::to_py(zk::bounded_inclusive(rng, std::stoull(op.substr(8))));
        else if (op.rfind("uniform:", 0) == 0) {
            const std::size_t sep = op.find(':', 8);
            const double lo = std::stod(op.substr(8, sep - 8));
            const double hi = std::stod(op.substr(sep + 1));
            item = zkpy::to_py(zk::uniform_between(rng, lo, hi));
        } else {
            PyErr_Format(PyExc_ValueError, "unknown op %s", op.c_str());
            return nullptr;
        }
        if (!item) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(k), item);
    }
    return list.release();
}

// XOR of the first n stream words of seeded_rng(seed): raw generator throughput.
ZK_FUNCTION(stream_fill, "stream_fill(seed, n)", "") {
    std::uint64_t seed = 0, n = 0;
    if (!args.parse(seed, n)) return nullptr;
    zk::Rng rng = zk::seeded_rng(seed);
    std::uint32_t acc = 0;
    for (std::uint64_t blocks = n / 64; blocks > 0; --blocks) {
        zk::refill(rng);
        for (std::uint32_t w : rng.buffer) acc ^= w;
    }
    for (std::uint64_t r = n % 64; r > 0; --r) acc ^= zk::next_u32(rng);
    return zkpy::to_py(static_cast<std::uint64_t>(acc));
}

ZK_FUNCTION(ziggurat_tables, "ziggurat_tables()", "") {
    if (!args.parse()) return nullptr;
    const zk::ZigguratTables& t = zk::ziggurat_tables();
    return zkpy::to_py(std::make_tuple(std::vector<double>(t.x.begin(), t.x.end()),
                                       std::vector<double>(t.f.begin(), t.f.end())));
}

ZK_FUNCTION(phi, "phi(z)", "") {
    double z = 0.0;
    if (!args.parse(z)) return nullptr;
    return zkpy::to_py(zk::phi(z));
}

ZK_FUNCTION(phi_inv, "phi_inv(p)", "") {
    double p = 0.0;
    if (!args.parse(p)) return nullptr;
    return zkpy::to_py(zk::phi_inv(p));
}

ZK_FUNCTION(erfc_inv, "erfc_inv(y)", "") {
    double y = 0.0;
    if (!args.parse(y)) return nullptr;
    return zkpy::to_py(zk::erfc_inv(y));
}

namespace {

// The public module's Rng, recognised by name (its type object lives in the
// other extension); the instance layout is the same Box<Rng>.
zkpy::Box<zk::Rng>* take_rng(PyObject* o) {
    if (std::strcmp(Py_TYPE(o)->tp_name, "zaviktools._zaviktools.Rng") != 0) {
        PyErr_SetString(PyExc_TypeError, "expected an Rng");
        return nullptr;
    }
    auto* box = reinterpret_cast<zkpy::Box<zk::Rng>*>(o);
    if (box->borrow != 0) {
        PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
        return nullptr;
    }
    box->borrow = -1;
    return box;
}

}  // namespace

// Holds `rng` exclusively while calling `callback()` (a re-entrant user).
ZK_FUNCTION(hold_rng_calling, "hold_rng_calling(rng, callback)", "") {
    zkpy::AnyObject rng, callback;
    if (!args.parse(rng, callback)) return nullptr;
    auto* box = take_rng(rng.obj);
    if (!box) return nullptr;
    PyObject* result = PyObject_CallNoArgs(callback.obj);
    box->borrow = 0;
    return result;
}

// Holds `rng` exclusively for `seconds` with the interpreter lock released,
// as a lock-releasing draw would; other threads run meanwhile.
ZK_FUNCTION(hold_rng_released, "hold_rng_released(rng, seconds)", "") {
    zkpy::AnyObject rng;
    double seconds = 0.0;
    if (!args.parse(rng, seconds)) return nullptr;
    auto* box = take_rng(rng.obj);
    if (!box) return nullptr;
    zk::Rng& stream = box->value;
    const std::uint32_t word = zkpy::without_gil([&] {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        return zk::next_u32(stream);
    });
    box->borrow = 0;
    return zkpy::to_py(static_cast<std::uint64_t>(word));
}
