"""zaviktools: a numerical toolkit for subsurface work.

Everything is implemented in the compiled extension module
``zaviktools._zaviktools``; this package re-exports its public names.
"""

from . import _zaviktools
from ._zaviktools import *  # noqa: F401,F403
from ._zaviktools import __version__  # noqa: F401

__all__ = [name for name in vars(_zaviktools) if not name.startswith("_")]
