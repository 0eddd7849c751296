"""zaviktools: a numerical toolkit for subsurface work.

Everything is implemented in the compiled extension module
``zaviktools._zaviktools``; this package re-exports its public names, makes
the value classes picklable, and holds the pure-Python companions
``zaviktools.interop`` (numpy, xtgeo, lasio, GeoJSON) and
``zaviktools.ensemble`` (realisations on threads or a Dask cluster), which are
imported on first use, as is the numpy study layer (``krige_points``,
``krige_grid``, ``cross_validate``, ``NormalScoreTransform``, ``sgs_scores``,
``polygon_mask``) over the second extension module ``zaviktools._study``.
"""

from typing import TYPE_CHECKING

from . import _zaviktools
from ._zaviktools import *  # noqa: F401,F403
from ._zaviktools import __version__ as __version__  # noqa: F401 (the `as` form re-exports it for type checkers)
from . import _pickling

# The study layer's functions (numpy arrays in and out), each loaded from its
# submodule on first use, so that `import zaviktools` loads no numpy.
_LAZY = {
    "krige_points": "kriging",
    "krige_grid": "kriging",
    "cross_validate": "kriging",
    "CrossValidation": "kriging",
    "NormalScoreTransform": "nscore",
    "sgs_scores": "nscore",
    "polygon_mask": "masks",
}

__all__ = [name for name in vars(_zaviktools) if not name.startswith("_")] + list(_LAZY)

_pickling.register()

_SUBMODULES = ("interop", "ensemble", "demo", "kriging", "nscore", "masks")

if TYPE_CHECKING:
    from .kriging import CrossValidation as CrossValidation
    from .kriging import cross_validate as cross_validate
    from .kriging import krige_grid as krige_grid
    from .kriging import krige_points as krige_points
    from .masks import polygon_mask as polygon_mask
    from .nscore import NormalScoreTransform as NormalScoreTransform
    from .nscore import sgs_scores as sgs_scores


def __getattr__(name):
    # `zaviktools.interop` without an explicit import, still without loading
    # numpy (or anything else optional) at `import zaviktools`.
    if name in _SUBMODULES or name in _LAZY:
        import importlib

        module = importlib.import_module(f"{__name__}.{_LAZY.get(name, name)}")
        return getattr(module, name) if name in _LAZY else module
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def __dir__():
    return sorted(set(globals()) | set(_LAZY) | set(_SUBMODULES))
