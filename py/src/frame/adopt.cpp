#include "frame/adopt.hpp"

#include "foundation/lattice.hpp"
#include "frame/ref.hpp"
#include "variograms/variogram.hpp"

namespace zkpy {

bool adopt_public_classes() {
    Ref public_module(PyImport_ImportModule("zaviktools._zaviktools"));
    if (!public_module) return false;
    return adopt_class<zaviktools::Lattice>(public_module.get(), "Lattice") &&
           adopt_class<zaviktools::Variogram>(public_module.get(), "Variogram") &&
           adopt_class<zaviktools::AnisotropicVariogram>(public_module.get(), "AnisotropicVariogram");
}

}  // namespace zkpy
