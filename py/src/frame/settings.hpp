// Process settings a call reads from the environment. They are read while the
// interpreter lock is held, before it is released: os.environ writes happen
// under the same lock, so a call never reads the environment while another
// thread rewrites it. The core receives the values and never reads them itself.
#pragma once

#include <cstddef>

namespace zkpy {

// Worker threads of a threaded computation: ZAVIKTOOLS_NUM_THREADS when it
// holds a valid count (at most 256), else one per CPU in the affinity mask.
// Call with the lock held.
std::size_t configured_threads();

}  // namespace zkpy
