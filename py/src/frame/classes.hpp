// The module's classes: heap types (PyType_FromSpec) that own one core value.
//
// Every class is immutable (read-only getters and methods), has no __dict__ and
// no weak-reference slot, is not subclassable, not GC-tracked, and carries
// Py_TPFLAGS_IMMUTABLETYPE. A class without a public constructor also carries
// Py_TPFLAGS_DISALLOW_INSTANTIATION.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "frame/args.hpp"
#include "frame/convert.hpp"
#include "frame/entry.hpp"
#include "frame/python.hpp"
#include "frame/result.hpp"

namespace zkpy {

template <class T>
struct Box {
    PyObject_HEAD
    // 0 free, > 0 shared users, -1 one exclusive user. Only touched with the
    // interpreter lock held; a holder may release the lock while it computes.
    int borrow;
    T value;
};

// The type object for native type T, created once per process on first use.
template <class T>
struct ClassSlot {
    static inline PyTypeObject* type = nullptr;
    static inline const char* name = "";
};

template <class T>
void box_dealloc(PyObject* o) {
    PyTypeObject* tp = Py_TYPE(o);
    reinterpret_cast<Box<T>*>(o)->value.~T();
    auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(tp, Py_tp_free));
    free_fn(o);
    Py_DECREF(tp);
}

// A new instance owning `value`.
template <class T>
PyObject* wrap(T value) {
    PyTypeObject* tp = ClassSlot<T>::type;
    if (!tp) {
        PyErr_SetString(PyExc_SystemError, "class used before its type was created");
        return nullptr;
    }
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(tp, Py_tp_alloc));
    PyObject* o = alloc(tp, 0);
    if (!o) return nullptr;
    auto* box = reinterpret_cast<Box<T>*>(o);
    box->borrow = 0;
    new (&box->value) T(std::move(value));
    return o;
}

template <class T>
T& self_of(PyObject* self) {
    return reinterpret_cast<Box<T>*>(self)->value;
}

// Getter of a read-only attribute: member M of T, a data member or a const
// method without arguments, converted with to_py. In a PyGetSetDef table:
//   {"nugget", zkpy::get_member<zk::Variogram, &zk::Variogram::nugget>, nullptr, "Nugget.", nullptr}
template <class T, auto M>
PyObject* get_member(PyObject* self, void*) {
    const T& value = self_of<T>(self);
    if constexpr (std::is_member_function_pointer_v<decltype(M)>)
        return to_py((value.*M)());
    else
        return to_py(value.*M);
}

// A slot function (repr and the like) run under the entry-point guard, so no
// C++ exception reaches the interpreter: ClassDef{..., zkpy::guarded_slot<&lattice_repr>}.
template <auto Fn>
PyObject* guarded_slot(PyObject* self) {
    return guarded([&]() -> PyObject* { return Fn(self); });
}

struct ClassDef {
    const char* qualified_name;  // "zaviktools._zaviktools.Lattice"; must be static
    const char* short_name;      // "Lattice"
    const char* doc;             // static; signature form when there is a constructor
    newfunc tp_new = nullptr;    // nullptr: no public constructor
    PyMethodDef* methods = nullptr;
    PyGetSetDef* getset = nullptr;
    reprfunc repr = nullptr;
    std::vector<PyType_Slot> extra = {};  // e.g. sq_length, tp_richcompare
};

PyObject* create_type(const ClassDef& def, int basicsize, destructor dealloc);

// Returns a new reference to T's type object, creating it on first use.
template <class T>
PyObject* make_class(const ClassDef& def) {
    if (!ClassSlot<T>::type) {
        PyObject* tp = create_type(def, static_cast<int>(sizeof(Box<T>)), &box_dealloc<T>);
        if (!tp) return nullptr;
        ClassSlot<T>::type = reinterpret_cast<PyTypeObject*>(tp);  // keeps this reference for the process
        ClassSlot<T>::name = def.short_name;
    }
    Py_INCREF(ClassSlot<T>::type);
    return reinterpret_cast<PyObject*>(ClassSlot<T>::type);
}

// Value semantics of an immutable class: == and hash over the bytes of its
// stored fields, so equality is bitwise (0.0 and -0.0 differ, a NaN equals
// itself with the same payload) and an unpickled copy equals its original.
// Comparison with any other type is NotImplemented; ordering is unsupported.
class FieldBytes {
public:
    template <class... F>
    FieldBytes& add(const F&... fields) {
        (append(fields), ...);
        return *this;
    }
    // A record made only of doubles (the sampler variants), field by field.
    template <class S>
    FieldBytes& add_doubles(const S& record) {
        static_assert(std::is_trivially_copyable_v<S> && sizeof(S) % sizeof(double) == 0);
        bytes_.append(reinterpret_cast<const char*>(&record), sizeof(S));
        return *this;
    }
    const std::string& bytes() const { return bytes_; }

private:
    template <class F>
    void append(const F& f) {
        static_assert(std::is_arithmetic_v<F> || std::is_enum_v<F>, "scalar fields only (no padding bytes)");
        char raw[sizeof(F)];
        std::memcpy(raw, &f, sizeof(F));
        bytes_.append(raw, sizeof(F));
    }
    std::string bytes_;
};

template <class T>
using FieldsFn = void (*)(const T&, FieldBytes&);

template <class T, FieldsFn<T> Fields>
std::string field_bytes(PyObject* o) {
    FieldBytes k;
    Fields(self_of<T>(o), k);
    return k.bytes();
}

template <class T, FieldsFn<T> Fields>
PyObject* value_richcompare(PyObject* a, PyObject* b, int op) {
    if ((op != Py_EQ && op != Py_NE) || Py_TYPE(a) != ClassSlot<T>::type || Py_TYPE(b) != ClassSlot<T>::type)
        Py_RETURN_NOTIMPLEMENTED;
    return guarded([&]() -> PyObject* {
        const bool equal = field_bytes<T, Fields>(a) == field_bytes<T, Fields>(b);
        return PyBool_FromLong(equal == (op == Py_EQ));
    });
}

// 64-bit FNV-1a of the field bytes; -1 is reserved for errors.
template <class T, FieldsFn<T> Fields>
Py_hash_t value_hash(PyObject* o) {
    std::uint64_t h = 14695981039346656037ull;
    try {
        for (const char c : field_bytes<T, Fields>(o)) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    } catch (...) {
        PyErr_NoMemory();
        return -1;
    }
    const auto v = static_cast<Py_hash_t>(h);
    return v == -1 ? -2 : v;
}

// The slots for ClassDef::extra.
template <class T, FieldsFn<T> Fields>
std::vector<PyType_Slot> value_slots() {
    return {{Py_tp_richcompare, reinterpret_cast<void*>(&value_richcompare<T, Fields>)},
            {Py_tp_hash, reinterpret_cast<void*>(&value_hash<T, Fields>)}};
}

// Argument kind: an instance of exactly T's class, read-only.
template <class T>
struct Instance {
    PyObject* obj = nullptr;
    const T& operator*() const { return reinterpret_cast<Box<T>*>(obj)->value; }
    const T* operator->() const { return &**this; }
};

template <class T>
bool from_py(PyObject* o, Instance<T>& out) {
    if (!ClassSlot<T>::type || Py_TYPE(o) != ClassSlot<T>::type) return fail_not_instance(o, ClassSlot<T>::name);
    out.obj = o;
    return true;
}

// Argument kind: exclusive use of a mutable instance for the whole call.
template <class T>
class Exclusive {
public:
    Exclusive() = default;
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;
    ~Exclusive() {
        if (box_) box_->borrow = 0;
    }
    // Takes the borrow of `o` (whose type is already checked).
    bool acquire(PyObject* o) {
        auto* box = reinterpret_cast<Box<T>*>(o);
        if (box->borrow != 0) {
            PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
            return false;
        }
        box->borrow = -1;
        box_ = box;
        return true;
    }
    T& operator*() const { return box_->value; }
    T* operator->() const { return &box_->value; }
    PyObject* object() const { return reinterpret_cast<PyObject*>(box_); }

private:
    Box<T>* box_ = nullptr;
};

template <class T>
bool from_py(PyObject* o, Exclusive<T>& out) {
    if (!ClassSlot<T>::type || Py_TYPE(o) != ClassSlot<T>::type) return fail_not_instance(o, ClassSlot<T>::name);
    return out.acquire(o);
}

// Shared (read-only) use of a mutable instance: refused while it is exclusively held.
template <class T>
class Shared {
public:
    Shared() = default;
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;
    ~Shared() {
        if (box_) --box_->borrow;
    }
    bool acquire(PyObject* o) {
        auto* box = reinterpret_cast<Box<T>*>(o);
        if (box->borrow < 0) {
            PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
            return false;
        }
        ++box->borrow;
        box_ = box;
        return true;
    }
    const T& operator*() const { return box_->value; }
    const T* operator->() const { return &box_->value; }

private:
    Box<T>* box_ = nullptr;
};

template <class T>
bool from_py(PyObject* o, Shared<T>& out) {
    if (!ClassSlot<T>::type || Py_TYPE(o) != ClassSlot<T>::type) return fail_not_instance(o, ClassSlot<T>::name);
    return out.acquire(o);
}

// Runs a fast-call body from tp_new's (tuple, dict) calling form.
PyObject* call_with_tuple(FastFn fn, PyObject* args, PyObject* kwargs);

}  // namespace zkpy

// A public constructor for class `cls`: defines the class docstring
// `zkc_<cls>_doc` and the tp_new function `zkc_<cls>_new`. The body returns
// zkpy::wrap(value).
#define ZK_CONSTRUCTOR(cls, sig, text)                                                                     \
    ZK_ENTRY_(zkc_##cls, #cls, zkc_##cls##_doc, sig, text)                                                 \
    static PyObject* zkc_##cls##_new(PyTypeObject*, PyObject* a, PyObject* kw) {                           \
        return zkpy::call_with_tuple(zkc_##cls##_entry, a, kw);                                            \
    }                                                                                                      \
    static PyObject* zkc_##cls##_body([[maybe_unused]] zkpy::Args& args)
