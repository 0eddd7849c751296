"""zaviktools: a numerical toolkit for subsurface work.

Everything is implemented in the compiled extension module
``zaviktools._zaviktools``; this package re-exports its public names, makes
the value classes picklable, and holds the pure-Python companions
``zaviktools.interop`` (numpy, xtgeo, lasio, GeoJSON) and
``zaviktools.ensemble`` (realisations on threads or a Dask cluster), which are
imported on first use.
"""

from . import _zaviktools
from ._zaviktools import *  # noqa: F401,F403
from ._zaviktools import __version__ as __version__  # noqa: F401 (the `as` form re-exports it for type checkers)
from . import _pickling

__all__ = [name for name in vars(_zaviktools) if not name.startswith("_")]

_pickling.register()

_SUBMODULES = ("interop", "ensemble", "demo")


def __getattr__(name):
    # `zaviktools.interop` without an explicit import, still without loading
    # numpy (or anything else optional) at `import zaviktools`.
    if name in _SUBMODULES:
        import importlib

        return importlib.import_module(f"{__name__}.{name}")
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
