"""zaviktools: a numerical toolkit for subsurface work.

Everything is implemented in the compiled extension module
``zaviktools._zaviktools``; this package re-exports its public names, makes
the value classes picklable, and holds the pure-Python companions
``zaviktools.interop`` (numpy, xtgeo, lasio, GeoJSON) and
``zaviktools.ensemble`` (realisations on threads or a Dask cluster) and
``zaviktools.dask`` (tiled kriging and ensemble maps on a Dask cluster), which
are imported on first use. The numpy study layer (``krige_points``,
``krige_grid``, ``cross_validate``, ``NormalScoreTransform``, ``sgs_scores``,
``sgs_ensemble``, ``polygon_mask`` over the second extension module ``zaviktools._study``;
``ensemble_maps``, ``lattice_from_axes``, ``node_coordinates``) is exported
here too and loaded on first use, so ``import zaviktools`` alone does not
import numpy.
"""

from typing import TYPE_CHECKING

from . import _zaviktools
from ._zaviktools import *  # noqa: F401,F403
from ._zaviktools import __version__ as __version__  # noqa: F401 (the `as` form re-exports it for type checkers)
from . import _pickling

if TYPE_CHECKING:
    from .grids import lattice_from_axes as lattice_from_axes, node_coordinates as node_coordinates
    from .kriging import CrossValidation as CrossValidation
    from .kriging import cross_validate as cross_validate
    from .kriging import krige_grid as krige_grid
    from .kriging import krige_points as krige_points
    from .maps import EnsembleMaps as EnsembleMaps, ensemble_maps as ensemble_maps
    from .masks import polygon_mask as polygon_mask
    from .nscore import NormalScoreTransform as NormalScoreTransform
    from .nscore import sgs_scores as sgs_scores
    from .simulation import sgs_ensemble as sgs_ensemble

# Public names of the study layer (numpy arrays in and out): name -> the
# submodule defining it, loaded on first use.
_LAZY = {
    "krige_points": "kriging",
    "krige_grid": "kriging",
    "cross_validate": "kriging",
    "CrossValidation": "kriging",
    "NormalScoreTransform": "nscore",
    "sgs_scores": "nscore",
    "sgs_ensemble": "simulation",
    "polygon_mask": "masks",
    "EnsembleMaps": "maps",
    "ensemble_maps": "maps",
    "lattice_from_axes": "grids",
    "node_coordinates": "grids",
}

__all__ = [name for name in vars(_zaviktools) if not name.startswith("_")] + list(_LAZY)

_pickling.register()

_SUBMODULES = ("interop", "ensemble", "demo", "maps", "grids", "kriging", "nscore", "masks", "simulation", "dask")


def __getattr__(name: str) -> object:
    # `zaviktools.interop` or `zaviktools.ensemble_maps` without an explicit
    # import, still without loading numpy (or anything else optional) at
    # `import zaviktools`.
    import importlib

    if name in _LAZY:
        value = getattr(importlib.import_module(f"{__name__}.{_LAZY[name]}"), name)
        globals()[name] = value
        return value
    if name in _SUBMODULES:
        return importlib.import_module(f"{__name__}.{name}")
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def __dir__() -> list[str]:
    return sorted(set(globals()) | set(_LAZY) | set(_SUBMODULES))
