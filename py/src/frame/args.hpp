// Matching of fast-call arguments against the signature in a docstring.
//
// The signature line of the docstring ("percentile(data, p)", "node_xy($self, i, j)")
// is the one source of parameter names and of which parameters are required
// (those written without "=default"). Defaults themselves are applied by the
// callable: a parameter that was not given leaves its native variable as is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "frame/convert.hpp"
#include "frame/python.hpp"

namespace zkpy {

class Spec {
public:
    // qualname: "percentile", or "Lattice.node_xy" for a method.
    Spec(const char* qualname, const char* doc);

    const std::string& qualname() const { return qualname_; }
    std::size_t size() const { return names_.size(); }
    const std::string& name(std::size_t i) const { return names_[i]; }

    // Places positional and keyword arguments into `slots` (nullptr = not
    // given) with CPython's wording for count and keyword errors.
    bool match(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** slots) const;

    // Re-words a pending TypeError or OverflowError as "argument 'name':
    // message", keeping its type.
    void reword_error(std::size_t i) const;

private:
    bool fail_missing(PyObject** slots) const;
    std::string qualname_;
    std::vector<std::string> names_;
    std::vector<PyObject*> interned_;
    std::size_t required_ = 0;
};

// The arguments of one call: matched once, then converted into native values.
class Args {
public:
    Args(const Spec& spec, PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames)
        : spec_(spec), self_(self), args_(args), nargs_(nargs), kwnames_(kwnames) {}

    PyObject* self() const { return self_; }

    // Converts every given argument, in signature order, into `out...`.
    template <class... T>
    bool parse(T&... out) {
        static_assert(sizeof...(T) <= 16, "too many parameters");
        if (sizeof...(T) != spec_.size()) return fail_arity();
        PyObject* slots[sizeof...(T) + 1] = {};
        if (!spec_.match(args_, nargs_, kwnames_, slots)) return false;
        std::size_t i = 0;
        return (convert_one(slots, i++, out) && ...);
    }

private:
    template <class T>
    bool convert_one(PyObject** slots, std::size_t i, T& out) {
        if (!slots[i]) return true;
        if (from_py(slots[i], out)) return true;
        spec_.reword_error(i);
        return false;
    }
    bool fail_arity() const;

    const Spec& spec_;
    PyObject* self_;
    PyObject* const* args_;
    Py_ssize_t nargs_;
    PyObject* kwnames_;
};

}  // namespace zkpy
