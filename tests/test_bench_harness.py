"""The bench's timing of a row: ours and the peers run in turn, round by round,
so that the calls of one round meet the same phase of a shared machine."""

import pathlib
import sys

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
from bench.harness import interleaved_times, paired_ratio  # noqa: E402


def test_calls_alternate_and_a_failing_peer_is_reported_once():
    calls = []

    def peer_fails():
        calls.append("bad")
        raise RuntimeError("missing")

    mine, theirs = interleaved_times(lambda: calls.append("ours"), [lambda: calls.append("peer"), peer_fails], 3)
    assert calls == ["ours", "peer", "bad"] + ["ours", "peer"] * 3
    assert len(mine) == 3 and len(theirs[0]) == 3 and isinstance(theirs[1], RuntimeError)


def test_our_failure_propagates():
    with pytest.raises(ZeroDivisionError):
        interleaved_times(lambda: 1 / 0, [lambda: None], 2)


def test_the_ratio_pairs_rounds():
    # A slow round slows both calls: the paired ratio stays 2.
    assert paired_ratio([2.0, 20.0, 4.0], [1.0, 10.0, 2.0]) == 2.0
