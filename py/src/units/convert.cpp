// The twelve volume and area conversions and format_volume.
#include "frame/entry.hpp"
#include "frame/result.hpp"
#include "units/convert.hpp"

namespace zk = zaviktools;

// One real in, one real out; every conversion has this shape.
#define ZK_CONVERSION(name, param, text)                       \
    ZK_FUNCTION(name, #name "(" #param ")", text) {            \
        double x = 0.0;                                        \
        if (!args.parse(x)) return nullptr;                    \
        return zkpy::to_py(zk::name(x));                       \
    }

ZK_CONVERSION(m3_to_mcm, m3, "Cubic metres -> mcm (million m³).")
ZK_CONVERSION(mcm_to_m3, mcm, "mcm (million m³) -> cubic metres.")
ZK_CONVERSION(m3_to_msm3, m3, "Cubic metres (Sm³) -> MSm³ (million Sm³) — oil reporting.")
ZK_CONVERSION(msm3_to_m3, msm3, "MSm³ (million Sm³) -> cubic metres (Sm³).")
ZK_CONVERSION(m3_to_bcm, m3, "Cubic metres (Sm³) -> bcm (billion Sm³) — gas reporting.")
ZK_CONVERSION(bcm_to_m3, bcm, "bcm (billion Sm³) -> cubic metres (Sm³).")
ZK_CONVERSION(scf_to_sm3, scf, "Standard cubic feet -> standard cubic metres (pure geometric factor).")
ZK_CONVERSION(sm3_to_scf, sm3, "Standard cubic metres -> standard cubic feet (pure geometric factor).")
ZK_CONVERSION(stb_to_sm3, stb, "Stock-tank barrels -> standard cubic metres.")
ZK_CONVERSION(sm3_to_stb, sm3, "Standard cubic metres -> stock-tank barrels.")
ZK_CONVERSION(km2_to_m2, km2, "Square kilometres -> square metres (areal report scale).")
ZK_CONVERSION(m2_to_km2, m2, "Square metres -> square kilometres (areal report scale).")

ZK_FUNCTION(format_volume, "format_volume(v_m3)",
            "Format a volume in m³ with an SI report unit chosen by magnitude\n"
            "(`bcm` ≥ 1e9, `mcm` ≥ 1e6, else `m³`), e.g. `format_volume(12.4e6) ==\n"
            "\"12.4 mcm\"`.") {
    double v = 0.0;
    if (!args.parse(v)) return nullptr;
    return zkpy::to_py(zk::format_volume(v));
}
