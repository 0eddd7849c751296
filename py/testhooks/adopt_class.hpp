// The hook module has its own class slots: it adopts the public module's
// classes through the frame's adopt_class.
#pragma once

#include "frame/adopt.hpp"

namespace zkhooks {

using zkpy::adopt_class;

}  // namespace zkhooks
