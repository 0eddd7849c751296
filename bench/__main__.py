"""Run every bench module and print one table: our time, each peer's time and
the ratio peer/ours (> 1 means we are faster). Ours and the peers of a row run
in turn, round by round; times are medians, the ratio the median of the
rounds' ratios, so a drift of the machine's speed cancels.

    python -m bench [substring ...]     # only rows whose name contains one of them
"""

from __future__ import annotations

import importlib
import pkgutil
import statistics
import sys

from .harness import fmt_seconds, interleaved_times, paired_ratio


def main(argv: list[str]) -> int:
    filters = argv[1:]
    import bench

    modules = sorted(m.name for m in pkgutil.iter_modules(bench.__path__) if m.name.startswith("bench_"))
    print(f"{'benchmark':<52} {'ours':>11}  {'peer':<34} {'peer time':>11} {'peer/ours':>9}")
    print("-" * 124)
    for modname in modules:
        mod = importlib.import_module(f"bench.{modname}")
        for row in mod.rows():
            if filters and not any(f in row.name for f in filters):
                continue
            peers = list(row.peers.items())
            mine, times = interleaved_times(row.ours, [fn for _, fn in peers], row.repeats)
            ours = statistics.median(mine)
            if not peers:
                print(f"{row.name:<52} {fmt_seconds(ours):>11}  {'-':<34} {'':>11} {'':>9}  {row.note}")
            for i, ((peer, _), theirs) in enumerate(zip(peers, times)):
                if isinstance(theirs, Exception):  # a peer that is missing or fails is reported, not fatal
                    ts, ratio = "n/a", f"({type(theirs).__name__})"
                else:
                    scale = row.peer_scale.get(peer, 1.0)
                    ts = fmt_seconds(statistics.median(theirs) * scale)
                    ratio = f"{paired_ratio(theirs, mine) * scale:9.2f}"
                label = row.name if i == 0 else ""
                ours_s = fmt_seconds(ours) if i == 0 else ""
                print(f"{label:<52} {ours_s:>11}  {peer:<34} {ts:>11} {ratio:>9}  {row.note if i == 0 else ''}")
            sys.stdout.flush()
    return 0


if __name__ == "__main__":
    raise SystemExit(main(sys.argv))
