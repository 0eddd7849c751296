#include "frame/settings.hpp"

#include <cstdlib>

#include "foundation/threads.hpp"

namespace zkpy {

std::size_t configured_threads() { return zaviktools::default_thread_count(std::getenv("ZAVIKTOOLS_NUM_THREADS")); }

}  // namespace zkpy
