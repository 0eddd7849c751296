// resample, resample_flat.
#include <optional>
#include <string>
#include <vector>

#include "foundation/field.hpp"
#include "foundation/lattice.hpp"
#include "frame/budget.hpp"
#include "frame/classes.hpp"
#include "frame/entry.hpp"
#include "frame/gil.hpp"
#include "frame/ref.hpp"
#include "frame/result.hpp"
#include "gridding/resample.hpp"
#include "frame/grid.hpp"

namespace zk = zaviktools;

namespace {

// The method name, or nothing with the ValueError set.
std::optional<zk::ResampleMethod> method_arg(const std::string& text) {
    return zkpy::name_or_raise(zk::parse_resample_method(text));
}

// The nested source grid as a field shaped like `src`, or nothing with the
// ValueError set.
std::optional<zk::Field> nested_grid_arg(const std::vector<std::vector<double>>& grid, const zk::Lattice& src) {
    bool rectangular = grid.size() == src.ncol();
    for (std::size_t i = 0; rectangular && i < grid.size(); ++i) rectangular = grid[i].size() == src.nrow();
    if (!rectangular) {
        const std::string msg = "src_grid must be a rectangular " + std::to_string(src.ncol()) + "\u00d7" +
                                std::to_string(src.nrow()) + " (ncol\u00d7nrow) nested list matching src_georef";
        zkpy::raise_value_error(msg);
        return std::nullopt;
    }
    return zkpy::to_array2(grid, src.ncol(), src.nrow());
}

// The target field and its result.
bool target_fits(const char* what, const zk::Lattice& target, bool flat) {
    return zkpy::lattice_fits(what, target.ncol(), target.nrow(), 8, 1, flat);
}

zk::Result<zk::Field> run(const zk::Field& grid, const zk::Lattice& src, const zk::Lattice& target,
                          zk::ResampleMethod method) {
    return zkpy::without_gil(
        [&] { return zk::resample(grid, src, target, method); });
}

}  // namespace

ZK_FUNCTION(resample, "resample(src_grid, src_georef, target, method=\"bilinear\")",
            "Resample `src_grid` (values on `src_georef`) onto `target`'s node lattice.\n"
            "`src_grid` is nested lists `field[col][row]` (`ncol × nrow`, `NaN` =\n"
            "undefined); `method` is `\"bilinear\"` (default) or `\"nearest\"`. Returns the\n"
            "`target.ncol × target.nrow` field as nested lists (`NaN` outside the source\n"
            "extent or where the null policy propagates a hole).") {
    std::vector<std::vector<double>> src_grid;
    zkpy::Instance<zk::Lattice> src_georef, target;
    std::string method = "bilinear";
    if (!args.parse(src_grid, src_georef, target, method)) return nullptr;
    const auto m = method_arg(method);
    if (!m) return nullptr;
    const auto grid = nested_grid_arg(src_grid, *src_georef);
    if (!grid) return nullptr;
    if (!target_fits("resample", *target, false)) return nullptr;
    auto out = run(*grid, *src_georef, *target, *m);
    if (!out) return zkpy::to_pyerr(std::move(out).error());
    return zkpy::rows(*out);
}

ZK_FUNCTION(resample_flat, "resample_flat(src_grid, src_georef, target, method=\"bilinear\")",
            "Flat crossing of [`resample`]: `src_grid` is a little-endian `f64` `bytes`\n"
            "buffer (`field[col][row]`, from `np.ascontiguousarray(a, '<f8').tobytes()`)\n"
            "matching `src_georef`; returns `(field_bytes, (ncol, nrow))` for the target.\n"
            "Both crossings are one `memcpy` (no boxed nested lists / per-cell floats).\n"
            "`np.frombuffer(field_bytes, dtype='<f8').reshape(ncol, nrow)`.") {
    zkpy::BytesArg src_grid;
    zkpy::Instance<zk::Lattice> src_georef, target;
    std::string method = "bilinear";
    if (!args.parse(src_grid, src_georef, target, method)) return nullptr;
    const auto m = method_arg(method);
    if (!m) return nullptr;
    const auto grid = zkpy::from_flat(src_grid, src_georef->ncol(), src_georef->nrow());
    if (!grid) return nullptr;
    if (!target_fits("resample_flat", *target, true)) return nullptr;
    auto out = run(*grid, *src_georef, *target, *m);
    if (!out) return zkpy::to_pyerr(std::move(out).error());
    return zkpy::to_flat(*out);
}
