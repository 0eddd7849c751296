// Variogram-related argument handling shared by the geostatistics bindings.
//
// The Python classes `Variogram` and `AnisotropicVariogram` own the core values
// zaviktools::Variogram and zaviktools::AnisotropicVariogram directly, so an
// entry point takes one with `zkpy::Instance<zaviktools::Variogram>` (exact
// class check; "'dict' object is not an instance of 'Variogram'").
// Header-only so that the private test-hook module can reach the same code.
#pragma once

#include <string>
#include <string_view>

#include "frame/classes.hpp"
#include "frame/convert.hpp"
#include "frame/pyerr.hpp"
#include "frame/python.hpp"
#include "variograms/variogram.hpp"

namespace zkpy {

// parse_model, raising ValueError "unknown variogram model '...' (expected ...)"
// (the bare text, no kind prefix) on failure.
inline bool parse_model_or_raise(const std::string& name, zaviktools::VariogramModel& out) {
    const auto parsed = name_or_raise(zaviktools::parse_model(name));
    if (!parsed) return false;
    out = *parsed;
    return true;
}

// The canonical model name, as `parse_model` reads it back: the `model`
// attribute of both variogram classes and their pickle reductions.
inline std::string_view model_name(zaviktools::VariogramModel m) { return zaviktools::model_row(m).name; }

// Getter of the read-only `model` attribute of V (either variogram class).
template <class V>
PyObject* get_model_name(PyObject* self, void*) {
    const std::string_view name = model_name(self_of<V>(self).model);
    return PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
}

// The docstring of that attribute, shared by both classes.
inline constexpr const char* kModelDoc =
    "Canonical model name: \"nugget\", \"spherical\", \"exponential\" or \"gaussian\".";

// A `Variogram` (Isotropic) or an `AnisotropicVariogram` (Anisotropic), tested
// in that order, fields copied; anything else raises ValueError
// "expected Variogram or AnisotropicVariogram".
inline bool extract_spatial_variogram(PyObject* obj, zaviktools::SpatialVariogram& out) {
    PyTypeObject* tp = Py_TYPE(obj);
    if (ClassSlot<zaviktools::Variogram>::type && tp == ClassSlot<zaviktools::Variogram>::type) {
        out.kind = self_of<zaviktools::Variogram>(obj);
        return true;
    }
    if (ClassSlot<zaviktools::AnisotropicVariogram>::type && tp == ClassSlot<zaviktools::AnisotropicVariogram>::type) {
        out.kind = self_of<zaviktools::AnisotropicVariogram>(obj);
        return true;
    }
    raise_value_error("expected Variogram or AnisotropicVariogram");
    return false;
}

}  // namespace zkpy
