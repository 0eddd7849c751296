#include "foundation/field.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "foundation/memory.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zaviktools {

namespace detail {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargeField = std::size_t{4} << 20;
}  // namespace

void* allocate_field_storage(std::size_t bytes) {
    if (bytes < kLargeField) return ::operator new(bytes);
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    if (rounded < bytes) throw std::bad_alloc();
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (!p) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    ::madvise(p, rounded, MADV_HUGEPAGE);  // advice only: failure changes nothing
#endif
    return p;
}

void release_field_storage(void* p, std::size_t bytes) noexcept {
    if (bytes < kLargeField) {
        ::operator delete(p);
    } else {
        std::free(p);
    }
}

}  // namespace detail

namespace {
std::string shape_text(std::size_t ncol, std::size_t nrow) {
    return std::to_string(ncol) + "\u00d7" + std::to_string(nrow);
}
}  // namespace

Result<Field> Field::allocate(std::size_t ncol, std::size_t nrow) {
    const auto n = field_node_count(ncol, nrow);
    if (!n) return fail(AlgoError::invalid_argument("field: " + shape_text(ncol, nrow) + " nodes exceed the addressable size"));
    auto cannot = [&] { return "field: cannot allocate " + shape_text(ncol, nrow) + " nodes"; };
    if (!addressable(*n, sizeof(double))) return fail(AlgoError::invalid_argument(cannot()));
    Field f;
    f.ncol_ = ncol;
    f.nrow_ = nrow;
    // The allocation failure is turned into an error value here: nothing
    // leaves the core as an exception.
    try {
        f.values_.resize(*n);
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory(cannot()));
    } catch (const std::length_error&) {
        return fail(AlgoError::out_of_memory(cannot()));
    }
    return f;
}

Result<Field> Field::create(std::size_t ncol, std::size_t nrow, double fill) {
    auto f = allocate(ncol, nrow);
    if (f) std::fill(f->values_.begin(), f->values_.end(), fill);
    return f;
}

Result<Field> Field::from_bytes(std::size_t ncol, std::size_t nrow, const void* bytes) {
    auto f = allocate(ncol, nrow);
    if (f && f->size() > 0) std::memcpy(f->values_.data(), bytes, f->size() * sizeof(double));
    return f;
}

}  // namespace zaviktools
