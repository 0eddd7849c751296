#include "geostat/variogram_args.hpp"

#include "frame/classes.hpp"

namespace zk = zaviktools;

namespace zkpy {

bool parse_model_or_raise(const std::string& name, zk::VariogramModel& out) {
    auto parsed = zk::parse_model(name);
    if (!parsed) {
        const std::string& text = parsed.error().payload();
        PyObject* msg = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
        if (msg) {
            PyErr_SetObject(PyExc_ValueError, msg);
            Py_DECREF(msg);
        }
        return false;
    }
    out = *parsed;
    return true;
}

bool extract_spatial_variogram(PyObject* obj, zk::SpatialVariogram& out) {
    PyTypeObject* tp = Py_TYPE(obj);
    if (ClassSlot<zk::Variogram>::type && tp == ClassSlot<zk::Variogram>::type) {
        out.kind = self_of<zk::Variogram>(obj);
        return true;
    }
    if (ClassSlot<zk::AnisotropicVariogram>::type && tp == ClassSlot<zk::AnisotropicVariogram>::type) {
        out.kind = self_of<zk::AnisotropicVariogram>(obj);
        return true;
    }
    PyErr_SetString(PyExc_ValueError, "expected Variogram or AnisotropicVariogram");
    return false;
}

}  // namespace zkpy
