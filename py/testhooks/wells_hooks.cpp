// Well hooks: the bilinear surface lookup and the polygon inside test on their
// own, over many points per call.
#include <array>
#include <cstdint>
#include <vector>

#include "frame/entry.hpp"
#include "frame/result.hpp"
#include "frame/grid.hpp"
#include "synth/wells/placement.hpp"
#include "synth/wells/tops.hpp"

namespace zk = zaviktools;
using Point2 = std::array<double, 2>;

// sample_surface at each point; the lattice travels as its fields, in the
// order of the Lattice constructor.
ZK_FUNCTION(sample_surface,
            "sample_surface(surface, xori, yori, xinc, yinc, ncol, nrow, rotation_deg, yflip, points)", "") {
    std::vector<std::vector<double>> surface;
    double xori = 0, yori = 0, xinc = 0, yinc = 0, rotation_deg = 0;
    std::uint64_t ncol = 0, nrow = 0;
    bool yflip = false;
    std::vector<Point2> points;
    if (!args.parse(surface, xori, yori, xinc, yinc, ncol, nrow, rotation_deg, yflip, points)) return nullptr;
    auto lattice = zk::Lattice::create(ncol, nrow, yflip, xori, yori, xinc, yinc, rotation_deg);
    if (!lattice) return zkpy::to_pyerr(std::move(lattice).error());
    auto field = zkpy::to_array2(surface, ncol, nrow);
    if (!field) return nullptr;
    std::vector<double> out;
    for (const Point2& p : points) out.push_back(zk::sample_surface(*field, *lattice, p[0], p[1]));
    return zkpy::to_py(out);
}

// inside_polygon at each point.
ZK_FUNCTION(inside_polygon, "inside_polygon(polygon, points)", "") {
    std::vector<Point2> polygon, points;
    if (!args.parse(polygon, points)) return nullptr;
    std::vector<zk::Xy> ring;
    for (const Point2& v : polygon) ring.push_back({v[0], v[1]});
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(points.size()));
    if (!list) return nullptr;
    for (std::size_t k = 0; k < points.size(); ++k)
        PyList_SET_ITEM(list, static_cast<Py_ssize_t>(k), zkpy::to_py(zk::inside_polygon(ring, {points[k][0], points[k][1]})));
    return list;
}
