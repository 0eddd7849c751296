// Field: a dense ncol × nrow grid of doubles, addressed field(col, row).
//
// Storage is one contiguous block holding the columns one after another: the row
// index is fastest, so value (i, j) sits at data()[i * nrow + j]. That is the
// order of the flat little-endian crossing, which makes it a single block copy.
// NaN marks an undefined node. The field carries no geometry; the Lattice of
// the same call says where node (i, j) lies.
//
//     auto f = zaviktools::Field::create(lat.ncol(), lat.nrow(), std::nan(""));
//     if (!f) return fail(f.error());       // absurd shapes are refused, never a crash
//     (*f)(i, j) = estimate;
//
// Copying a Field copies its values and allocates like any container (it can
// throw std::bad_alloc, unlike create()); pass and return fields by move.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "foundation/error.hpp"

namespace zaviktools {

// Largest node count a field may hold: n · 8 bytes must stay addressable.
inline constexpr std::uint64_t kMaxFieldNodes = (std::uint64_t{1} << 61) - 1;

// ncol · nrow, or nothing when the product overflows or exceeds kMaxFieldNodes.
inline std::optional<std::size_t> field_node_count(std::size_t ncol, std::size_t nrow) {
    std::size_t n = 0;
    if (__builtin_mul_overflow(ncol, nrow, &n) || n > kMaxFieldNodes) return std::nullopt;
    return n;
}

namespace detail {
// Storage of large fields: 2 MiB aligned and, on Linux, advised for huge pages,
// so that filling a fresh multi-megabyte grid costs a few page faults instead of
// one per 4 KiB page. Small fields use the ordinary heap.
void* allocate_field_storage(std::size_t bytes);
void release_field_storage(void* p, std::size_t bytes) noexcept;

// Allocator whose resize() leaves doubles uninitialised: a field is always
// filled (or block-copied into) right after allocation, so zeroing first
// would be a wasted pass over the whole grid.
template <class T>
struct FieldAllocator {
    using value_type = T;
    FieldAllocator() = default;
    template <class U>
    FieldAllocator(const FieldAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(allocate_field_storage(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { release_field_storage(p, n * sizeof(T)); }
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... a) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
    template <class U>
    bool operator==(const FieldAllocator<U>&) const noexcept {
        return true;
    }
};
}  // namespace detail

class Field {
public:
    // An empty 0 × 0 field.
    Field() = default;

    // A field with every node set to `fill`. Fails with InvalidArgument
    //   "field: {ncol}×{nrow} nodes exceed the addressable size"   (overflow or > 2^61 − 1 nodes)
    //   "field: cannot allocate {ncol}×{nrow} nodes"              (beyond any address space)
    // or with OutOfMemory "field: cannot allocate {ncol}×{nrow} nodes" when the
    // allocation fails.
    static Result<Field> create(std::size_t ncol, std::size_t nrow, double fill = 0.0);

    // The same with the values left unset, for a caller that writes every
    // node itself (in a loop that can stop part way).
    static Result<Field> create_unfilled(std::size_t ncol, std::size_t nrow) { return allocate(ncol, nrow); }

    // A field whose values are copied from `bytes`: ncol · nrow native doubles
    // in field order (row fastest), read with one block copy; `bytes` needs no
    // alignment. Fails like create().
    static Result<Field> from_bytes(std::size_t ncol, std::size_t nrow, const void* bytes);

    std::size_t ncol() const { return ncol_; }
    std::size_t nrow() const { return nrow_; }
    std::size_t size() const { return values_.size(); }

    double& operator()(std::size_t i, std::size_t j) { return values_[i * nrow_ + j]; }
    double operator()(std::size_t i, std::size_t j) const { return values_[i * nrow_ + j]; }

    double* data() { return values_.data(); }
    const double* data() const { return values_.data(); }
    std::span<const double> values() const { return {values_.data(), values_.size()}; }

    // The nrow values of column i: field(i, 0) … field(i, nrow − 1).
    std::span<double> column(std::size_t i) { return {values_.data() + i * nrow_, nrow_}; }
    std::span<const double> column(std::size_t i) const { return {values_.data() + i * nrow_, nrow_}; }

private:
    static Result<Field> allocate(std::size_t ncol, std::size_t nrow);
    std::size_t ncol_ = 0;
    std::size_t nrow_ = 0;
    std::vector<double, detail::FieldAllocator<double>> values_;
};

}  // namespace zaviktools
