"""Module surface: version, registration order, docstrings and signatures."""

import inspect

import pytest

import zaviktools
from zaviktools import _zaviktools as m

# The full registration table, in module order.
TABLE = (
    "Rng Sampler Clamped mean variance std percentile median weighted_mean weighted_variance weighted_std "
    "weighted_percentile ReservoirSummary reservoir_summary aggregate formula_info evaluate_formula Lattice "
    "Variogram AnisotropicVariogram ExperimentalVariogram experimental_variogram local_kriging_grid "
    "local_kriging_grid_flat sgs sgs_flat interp1d resample resample_flat ZoneSpec zone_sample_counts "
    "synth_log_series synth_facies_series synth_por_with_facies PetroZoneSpec synth_petro_curves ntg_curve "
    "synth_dome_surface synth_dome_surface_flat synth_isochore synth_isochore_flat synth_trend_map "
    "synth_trend_map_flat place_wells place_wells_in_polygon tops_from_surface synth_trajectory "
    "synth_trajectory_profile max_dogleg_severity Georef closure_outline study_area_outline m3_to_mcm mcm_to_m3 "
    "m3_to_msm3 msm3_to_m3 m3_to_bcm bcm_to_m3 scf_to_sm3 sm3_to_scf stb_to_sm3 sm3_to_stb km2_to_m2 m2_to_km2 "
    "format_volume"
).split()

CLASSES_WITHOUT_CONSTRUCTOR = {"Sampler", "Clamped", "ReservoirSummary", "ExperimentalVariogram"}


def public_names():
    return [n for n in vars(m) if not n.startswith("_")]


def test_table_has_65_names():
    assert len(TABLE) == 65 and len(set(TABLE)) == 65


def test_version_and_docstring():
    assert m.__version__ == "0.2.15" == zaviktools.__version__
    assert m.__doc__ == (
        "The compiled extension module (`zaviktools._zaviktools`); re-exported by the\n"
        "`zaviktools` Python package's `__init__`."
    )


def test_public_names_follow_the_table_order():
    names = public_names()
    assert set(names) <= set(TABLE), set(names) - set(TABLE)
    assert names == [n for n in TABLE if n in names]
    assert {"mean", "variance", "std", "percentile", "median"} <= set(names)


def test_package_reexports_every_public_name():
    native = public_names()
    assert zaviktools.__all__[: len(native)] == native
    for n in native:
        assert getattr(zaviktools, n) is getattr(m, n)
    # Then the names of the Python study layer, loaded on first use.
    lazy = zaviktools.__all__[len(native):]
    assert lazy and not set(lazy) & set(native)
    for n in lazy:
        assert getattr(zaviktools, n).__module__.startswith("zaviktools.")


@pytest.mark.parametrize("name", [n for n in TABLE if n in vars(m)])
def test_every_callable_carries_a_signature_docstring(name):
    obj = getattr(m, name)
    if isinstance(obj, type):
        if name in CLASSES_WITHOUT_CONSTRUCTOR:
            assert obj.__doc__ and "\n--\n\n" not in obj.__doc__
            with pytest.raises(TypeError):
                obj()
        else:
            assert obj.__text_signature__ is not None
        for attr, member in vars(obj).items():
            if callable(member) and not attr.startswith("_") and hasattr(member, "__text_signature__"):
                assert member.__text_signature__ is not None, f"{name}.{attr}"
    else:
        assert obj.__module__ == "zaviktools._zaviktools"
        assert obj.__text_signature__ is not None
        assert obj.__doc__.strip()
        inspect.signature(obj)


@pytest.mark.parametrize(
    "name, signature",
    [("mean", "(data)"), ("variance", "(data)"), ("std", "(data)"), ("percentile", "(data, p)"), ("median", "(data)")],
)
def test_stats_signatures(name, signature):
    assert str(inspect.signature(getattr(m, name))) == signature


@pytest.mark.parametrize("name", [n for n in TABLE if isinstance(getattr(m, n, None), type)])
def test_classes_are_final_and_closed(name):
    cls = getattr(m, name)
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
    assert not hasattr(cls, "__dict__") or "__dict__" not in cls.__dict__
    assert cls.__module__ == "zaviktools._zaviktools"
    with pytest.raises(TypeError):
        cls.some_new_attribute = 1
