"""The demo's output directory: checked and created before any work, so a bad
`--out` is one plain sentence, never a traceback from the middle of a run."""

from __future__ import annotations

import os
import tempfile


class OutDirError(ValueError):
    """`--out` cannot be the study's output directory."""


def prepare(out: str) -> str:
    """Create `out` if needed and prove it writable; returns it unchanged.
    Raises `OutDirError` naming the path and the reason."""
    if not isinstance(out, str) or not out.strip():
        raise OutDirError("demo: --out must name a directory, got an empty path")
    if "\0" in out:
        raise OutDirError("demo: --out must not contain a NUL character")
    if os.path.islink(out) and not os.path.exists(out):
        raise OutDirError(f"demo: --out {out} is a symbolic link to {os.readlink(out)}, which does not exist")
    if os.path.exists(out) and not os.path.isdir(out):
        raise OutDirError(f"demo: --out {out} exists and is not a directory")
    try:
        os.makedirs(out, exist_ok=True)
        # Write permission as the file system sees it (os.access trusts mode
        # bits that /proc, read-only mounts and root do not follow).
        with tempfile.TemporaryFile(dir=out):
            pass
    except OSError as exc:
        reason = exc.strerror or str(exc)
        raise OutDirError(f"demo: cannot use --out {out} as the output directory: {reason}") from None
    return out
