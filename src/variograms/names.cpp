// parse_model: the model-name parser shared by every entry point taking a
// variogram model name.
#include "foundation/name_table.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

Result<VariogramModel> parse_model(std::string_view text) {
    return parse_name(NameTable<ModelRow>{"variogram model", kModels}, text);
}

}  // namespace zaviktools
