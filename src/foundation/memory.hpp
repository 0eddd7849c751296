// The line between a size no machine could hold and one that only this
// machine's memory cannot: storage beyond any process's address space is a
// fault of the request (AlgoError::invalid_argument, refused before
// allocating); an allocation below it that fails is this machine running out
// of memory (AlgoError::out_of_memory).
#pragma once

#include <cstdint>

namespace zaviktools {

// No process gets more user address space than this (47-bit virtual addresses).
inline constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 47;

// Whether `count` items of `size` bytes each fit in an address space.
constexpr bool addressable(std::uint64_t count, std::uint64_t size) { return count <= kAddressSpace / size; }

}  // namespace zaviktools
