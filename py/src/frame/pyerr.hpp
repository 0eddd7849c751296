// Mapping of core errors and native exceptions onto Python exceptions.
#pragma once

#include "foundation/error.hpp"
#include "frame/python.hpp"

namespace zkpy {

// Sets a ValueError whose single argument is the error's displayed text;
// returns nullptr so entry points can `return to_pyerr(...)`. An interrupted
// computation keeps the exception its signal handler raised.
PyObject* to_pyerr(zaviktools::AlgoError error);

// Adds `text` as a note (PEP 678) to the pending exception, leaving its type
// and message alone; does nothing when no exception is pending.
void note_pending_error(const char* text);

// The PanicException class (a BaseException subclass), created once per process.
PyObject* panic_exception_type();
// Raises PanicException with `message`, or a generic text when there is none.
PyObject* raise_panic(const char* message);

}  // namespace zkpy
