"""zaviktools: a numerical toolkit for subsurface work.

Everything is implemented in the compiled extension module
``zaviktools._zaviktools``; this package re-exports its public names, makes
the value classes picklable, and holds the pure-Python companions
``zaviktools.interop`` (numpy, xtgeo, lasio, GeoJSON) and
``zaviktools.ensemble`` (realisations on threads or a Dask cluster), which are
imported on first use. The numpy study layer (``ensemble_maps``,
``lattice_from_axes``, ...) is exported here too and loaded on first use, so
``import zaviktools`` alone does not import numpy.
"""

from typing import TYPE_CHECKING

from . import _zaviktools
from ._zaviktools import *  # noqa: F401,F403
from ._zaviktools import __version__ as __version__  # noqa: F401 (the `as` form re-exports it for type checkers)
from . import _pickling

if TYPE_CHECKING:
    from .grids import lattice_from_axes as lattice_from_axes, node_coordinates as node_coordinates
    from .maps import EnsembleMaps as EnsembleMaps, ensemble_maps as ensemble_maps

# Public names of the pure-Python study layer: name -> the submodule defining it.
_LAZY = {
    "EnsembleMaps": "maps",
    "ensemble_maps": "maps",
    "lattice_from_axes": "grids",
    "node_coordinates": "grids",
}

__all__ = [name for name in vars(_zaviktools) if not name.startswith("_")] + list(_LAZY)

_pickling.register()

_SUBMODULES = ("interop", "ensemble", "demo", "maps", "grids")


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
