// Variogram-related argument handling shared by the geostatistics bindings.
//
// The Python classes `Variogram` and `AnisotropicVariogram` own the core values
// zaviktools::Variogram and zaviktools::AnisotropicVariogram directly, so an
// entry point takes one with `zkpy::Instance<zaviktools::Variogram>` (exact
// class check; "'dict' object is not an instance of 'Variogram'").
#pragma once

#include <string>

#include "frame/python.hpp"
#include "gridding/kriging/variogram.hpp"

namespace zkpy {

// parse_model, raising ValueError "unknown variogram model '...' (expected ...)"
// (the bare text, no kind prefix) on failure.
bool parse_model_or_raise(const std::string& name, zaviktools::VariogramModel& out);

// Argument kind: any object, kept borrowed for the call (checked later, e.g.
// by extract_spatial_variogram once every argument is converted).
struct AnyObject {
    PyObject* obj = nullptr;
};
inline bool from_py(PyObject* o, AnyObject& out) {
    out.obj = o;
    return true;
}

// A `Variogram` (Isotropic) or an `AnisotropicVariogram` (Anisotropic), tested
// in that order, fields copied; anything else raises ValueError
// "expected Variogram or AnisotropicVariogram".
bool extract_spatial_variogram(PyObject* obj, zaviktools::SpatialVariogram& out);

}  // namespace zkpy
