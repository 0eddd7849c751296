// The native value behind the Python class `ExperimentalVariogram`: the core
// result plus its three Python lists, built once when the object is made and
// never handed out themselves (each access returns a copy).
#pragma once

#include "frame/ref.hpp"
#include "variograms/experimental.hpp"

namespace zkpy {

struct ExperimentalVariogramObject {
    zaviktools::ExperimentalVariogram value;
    Ref lags;
    Ref semivariances;
    Ref counts;
};

}  // namespace zkpy
