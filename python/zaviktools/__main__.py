"""`python -m zaviktools demo [--out DIR] [--seed N] [--size N] [--realisations N]`."""

import sys

from .demo import main

if __name__ == "__main__":
    raise SystemExit(main(sys.argv[1:]))
