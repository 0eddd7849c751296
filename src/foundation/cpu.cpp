#include "foundation/cpu.hpp"

namespace zaviktools {

bool cpu_has_avx2() {
#if defined(__x86_64__) && defined(__GNUC__)
    // A function-local static is initialised exactly once, even when several
    // threads make the first call together. __builtin_cpu_init makes the query
    // sound before the runtime's own initialisation has run (static
    // constructors of other libraries).
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return available;
#else
    return false;
#endif
}

}  // namespace zaviktools
