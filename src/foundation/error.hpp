// AlgoError: the one error value of the core. Every fallible operation returns
// Result<T> = std::expected<T, AlgoError>; nothing in the core throws on bad input.
#pragma once

#include <expected>
#include <string>
#include <utility>

namespace zaviktools {

class AlgoError {
public:
    // Order matters: it is the order of the kinds in the debug rendering.
    enum class Kind { EmptyInput, InvalidGeometry, InvalidArgument, Io, Parse, NotFound, Interrupted, OutOfMemory };

    static AlgoError empty_input(const char* what) { return {Kind::EmptyInput, what}; }
    static AlgoError invalid_geometry(const char* what) { return {Kind::InvalidGeometry, what}; }
    static AlgoError invalid_argument(std::string msg) { return {Kind::InvalidArgument, std::move(msg)}; }
    static AlgoError io(std::string error) { return {Kind::Io, std::move(error)}; }
    static AlgoError parse(std::string msg) { return {Kind::Parse, std::move(msg)}; }
    static AlgoError not_found(std::string name) { return {Kind::NotFound, std::move(name)}; }
    // A stop requested through the installed StopPoll; `what` names the
    // operation that stopped. Not a fault of the input: the binding leaves
    // the exception of the request (KeyboardInterrupt) in place.
    static AlgoError interrupted(const char* what) { return {Kind::Interrupted, what}; }
    // An allocation this machine could not meet (a std::bad_alloc caught at
    // the failure site); `what` names the operation and the storage. Sizes
    // beyond any address space are invalid arguments instead
    // (foundation/memory.hpp). The binding raises MemoryError with `what`.
    static AlgoError out_of_memory(std::string what) { return {Kind::OutOfMemory, std::move(what)}; }

    Kind kind() const { return kind_; }
    const std::string& payload() const { return payload_; }

    // "empty input: stats: no data" -- fixed prefix, then the payload verbatim.
    std::string display() const;
    // EmptyInput("stats: no data")
    std::string debug() const;

private:
    AlgoError(Kind k, std::string p) : kind_(k), payload_(std::move(p)) {}
    Kind kind_;
    std::string payload_;
};

template <class T>
using Result = std::expected<T, AlgoError>;

inline std::unexpected<AlgoError> fail(AlgoError e) { return std::unexpected<AlgoError>(std::move(e)); }

}  // namespace zaviktools
