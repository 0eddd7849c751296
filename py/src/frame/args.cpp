#include "frame/args.hpp"

#include <cstring>

#include "frame/ref.hpp"

namespace zkpy {

namespace {

std::string trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(' ');
    std::size_t e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

}  // namespace

Spec::Spec(const char* qualname, const char* doc) : qualname_(qualname) {
    const char* open = std::strchr(doc, '(');
    const char* close = open ? std::strchr(open, ')') : nullptr;
    std::string params = (open && close) ? std::string(open + 1, close) : std::string();
    bool seen_default = false;
    std::size_t start = 0;
    while (start <= params.size()) {
        std::size_t comma = params.find(',', start);
        if (comma == std::string::npos) comma = params.size();
        std::string p = trim(params.substr(start, comma - start));
        start = comma + 1;
        if (p.empty() || p[0] == '$') continue;
        std::size_t eq = p.find('=');
        if (eq != std::string::npos) {
            seen_default = true;
            p = trim(p.substr(0, eq));
        } else if (!seen_default) {
            ++required_;
        }
        names_.push_back(p);
        interned_.push_back(PyUnicode_InternFromString(p.c_str()));
    }
}

void Spec::reword_error(std::size_t i) const {
    PyObject* kind = PyErr_ExceptionMatches(PyExc_TypeError)       ? PyExc_TypeError
                     : PyErr_ExceptionMatches(PyExc_OverflowError) ? PyExc_OverflowError
                                                                   : nullptr;
    if (!kind) return;  // a ValueError (the point-length text) stays as it is
    PyObject *type, *value, *tb;
    PyErr_Fetch(&type, &value, &tb);
    PyErr_NormalizeException(&type, &value, &tb);
    Ref text(value ? PyObject_Str(value) : nullptr);
    const char* msg = text ? PyUnicode_AsUTF8(text.get()) : nullptr;
    if (!msg) {
        PyErr_Clear();
        msg = "invalid value";
    }
    std::string reworded = "argument '" + names_[i] + "': " + msg;
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(tb);
    PyErr_SetString(kind, reworded.c_str());
}

bool Spec::fail_missing(PyObject** slots) const {
    std::vector<std::size_t> missing;
    for (std::size_t i = 0; i < required_; ++i)
        if (!slots[i]) missing.push_back(i);
    if (missing.empty()) return true;
    // CPython: "f() missing 2 required positional arguments: 'a' and 'b'"
    std::string list;
    for (std::size_t k = 0; k < missing.size(); ++k) {
        if (k > 0) list += missing.size() == 2 ? " and " : (k + 1 == missing.size() ? ", and " : ", ");
        list += "'" + names_[missing[k]] + "'";
    }
    PyErr_Format(PyExc_TypeError, "%s() missing %zu required positional argument%s: %s", qualname_.c_str(),
                 missing.size(), missing.size() == 1 ? "" : "s", list.c_str());
    return false;
}

bool Spec::match(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** slots) const {
    const std::size_t n = names_.size();
    if (static_cast<std::size_t>(nargs) > n) {
        // CPython: "f() takes 2 positional arguments but 3 were given"
        std::string takes = required_ == n ? std::to_string(n)
                                           : "from " + std::to_string(required_) + " to " + std::to_string(n);
        PyErr_Format(PyExc_TypeError, "%s() takes %s positional argument%s but %zd %s given", qualname_.c_str(),
                     takes.c_str(), n == 1 && required_ == n ? "" : "s", nargs, nargs == 1 ? "was" : "were");
        return false;
    }
    for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];
    const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    for (Py_ssize_t k = 0; k < nkw; ++k) {
        PyObject* key = PyTuple_GET_ITEM(kwnames, k);
        std::size_t found = n;
        for (std::size_t i = 0; i < n && found == n; ++i)
            if (key == interned_[i]) found = i;
        for (std::size_t i = 0; i < n && found == n; ++i)
            if (PyUnicode_Compare(key, interned_[i]) == 0) found = i;
        if (found == n) {
            PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", qualname_.c_str(), key);
            return false;
        }
        if (slots[found]) {
            PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", qualname_.c_str(),
                         names_[found].c_str());
            return false;
        }
        slots[found] = args[nargs + k];
    }
    return fail_missing(slots);
}

bool Args::fail_arity() const {
    PyErr_Format(PyExc_SystemError, "%s(): binding declares a different parameter count than its signature",
                 spec_.qualname().c_str());
    return false;
}

}  // namespace zkpy
