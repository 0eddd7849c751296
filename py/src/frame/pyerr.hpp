// Mapping of core errors and native exceptions onto Python exceptions.
#pragma once

#include <optional>
#include <string_view>
#include <utility>

#include "foundation/error.hpp"
#include "frame/python.hpp"

namespace zkpy {

// Sets a ValueError whose single argument is the error's displayed text;
// returns nullptr so entry points can `return to_pyerr(...)`. An interrupted
// computation keeps the exception its signal handler raised; an allocation
// that failed (OutOfMemory) raises MemoryError with the error's text.
PyObject* to_pyerr(zaviktools::AlgoError error);

// The value of a core result, or nothing with its error raised through
// to_pyerr: the one way a binding helper that returns a native value reports
// a core failure.
//
//     auto engine = zkpy::value_or_raise(zaviktools::LocalKriging::create(v, n, r));
//     if (!engine) return nullptr;
template <class T>
std::optional<T> value_or_raise(zaviktools::Result<T>&& result) {
    if (!result) {
        to_pyerr(std::move(result).error());
        return std::nullopt;
    }
    return std::move(*result);
}

// A name lookup's value, or nothing with a ValueError carrying the lookup's
// message whole: names users type are reported without a kind prefix.
template <class T>
std::optional<T> name_or_raise(zaviktools::Result<T>&& result);

// Raises a ValueError of the binding's own checks (a text without a kind
// prefix), taken whole: a name a caller typed may hold any UTF-8, NUL
// characters included. Returns nullptr.
PyObject* raise_value_error(std::string_view text);

template <class T>
std::optional<T> name_or_raise(zaviktools::Result<T>&& result) {
    if (!result) {
        raise_value_error(result.error().payload());
        return std::nullopt;
    }
    return std::move(*result);
}

// Adds `text` as a note (PEP 678) to the pending exception, leaving its type
// and message alone; does nothing when no exception is pending.
void note_pending_error(const char* text);

// The PanicException class (a BaseException subclass), created once per process.
PyObject* panic_exception_type();
// Raises PanicException with `message`, or a generic text when there is none.
PyObject* raise_panic(const char* message);

}  // namespace zkpy
