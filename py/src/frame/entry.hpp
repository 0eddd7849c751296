// Definition of module functions and methods.
//
//   ZK_FUNCTION(percentile, "percentile(data, p)", "The `p`-th percentile ...") {
//       std::vector<double> data;
//       double p = 0.0;
//       if (!args.parse(data, p)) return nullptr;
//       return zkpy::to_py(zaviktools::percentile(data, p));
//   }
//
// defines the PyMethodDef `zkpy_def_percentile` (METH_FASTCALL | METH_KEYWORDS)
// whose docstring is the signature line, "--", a blank line and the text. The
// body runs inside `guarded`, so no C++ exception reaches the interpreter.
#pragma once

#include <new>
#include <stdexcept>

#include "frame/args.hpp"
#include "frame/python.hpp"
#include "frame/pyerr.hpp"

namespace zkpy {

using FastFn = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

template <class F>
PyObject* guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::length_error&) {
        // A container asked for more than it can ever hold: an allocation
        // that cannot be met, not a broken invariant.
        return PyErr_NoMemory();
    } catch (const std::exception& e) {
        return raise_panic(e.what());
    } catch (...) {
        return raise_panic(nullptr);
    }
}

inline PyMethodDef method_def(const char* name, FastFn fn, const char* doc, int extra_flags = 0) {
    return PyMethodDef{name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(fn)),
                       METH_FASTCALL | METH_KEYWORDS | extra_flags, doc};
}

}  // namespace zkpy

#define ZK_DOC(sig, text) sig "\n--\n\n" text

#define ZK_ENTRY_(ident, qualname, docvar, sig, text)                                                      \
    static const char docvar[] = ZK_DOC(sig, text);                                                        \
    static PyObject* ident##_body(zkpy::Args& args);                                                       \
    static PyObject* ident##_entry(PyObject* self, PyObject* const* a, Py_ssize_t n, PyObject* kw) {       \
        return zkpy::guarded([&]() -> PyObject* {                                                          \
            static const zkpy::Spec spec(qualname, docvar);                                                \
            zkpy::Args args(spec, self, a, n, kw);                                                         \
            return ident##_body(args);                                                                     \
        });                                                                                                \
    }

// A module-level function; `args` is in scope in the body.
#define ZK_FUNCTION(name, sig, text)                                                                       \
    ZK_ENTRY_(zkfn_##name, #name, zkfn_##name##_doc, sig, text)                                            \
    PyMethodDef zkpy_def_##name = zkpy::method_def(#name, zkfn_##name##_entry, zkfn_##name##_doc);        \
    static PyObject* zkfn_##name##_body([[maybe_unused]] zkpy::Args& args)

// A method of class `cls`: signature written "name($self, ...)"; `args.self()`
// is the instance. Collect the defs into the class's method table.
#define ZK_METHOD(cls, name, sig, text)                                                                    \
    ZK_ENTRY_(zkm_##cls##_##name, #cls "." #name, zkm_##cls##_##name##_doc, sig, text)                     \
    static const PyMethodDef zkpy_mdef_##cls##_##name =                                                    \
        zkpy::method_def(#name, zkm_##cls##_##name##_entry, zkm_##cls##_##name##_doc);                     \
    static PyObject* zkm_##cls##_##name##_body([[maybe_unused]] zkpy::Args& args)

// A static method: signature written "name(...)" without $self.
#define ZK_STATIC(cls, name, sig, text)                                                                    \
    ZK_ENTRY_(zkm_##cls##_##name, #cls "." #name, zkm_##cls##_##name##_doc, sig, text)                     \
    static const PyMethodDef zkpy_mdef_##cls##_##name =                                                    \
        zkpy::method_def(#name, zkm_##cls##_##name##_entry, zkm_##cls##_##name##_doc, METH_STATIC);        \
    static PyObject* zkm_##cls##_##name##_body([[maybe_unused]] zkpy::Args& args)

#define ZK_MDEF(cls, name) zkpy_mdef_##cls##_##name
