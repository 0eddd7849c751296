"""Small pure-Python references shared by the statistics tests."""

import math


def same(a, b):
    """Bit-for-bit equality of two floats: NaN equals NaN, -0.0 differs from 0.0."""
    return (math.isnan(a) and math.isnan(b)) or (a == b and math.copysign(1, a) == math.copysign(1, b))


def insertion_sorted(xs, key=lambda v: v):
    """Straight insertion sort under `<` on key(v): each element shifts left while less than its neighbour."""
    s = list(xs)
    for i in range(1, len(s)):
        j = i
        while j > 0 and key(s[j]) < key(s[j - 1]):
            s[j], s[j - 1] = s[j - 1], s[j]
            j -= 1
    return s


def running_mean(xs):
    m, k = 0.0, 0.0
    for x in xs:
        k += 1.0
        m = m + (x - m) / k
    return m


def single_pass_variance(xs):
    if len(xs) == 1:
        return 0.0
    s, i, acc = xs[0], 1.0, 0.0
    for x in xs[1:]:
        i = i + 1.0
        s = s + x
        d = i * x - s
        acc = acc + d * d / (i * (i - 1.0))
    return acc / (i - 1.0)


def type7(xs, p):
    """Type-7 percentile; insertion sort up to 20 values, a stable sort above."""
    if len(xs) == 1:
        return xs[0]
    s = insertion_sorted(xs) if len(xs) <= 20 else sorted(xs)
    h = (len(s) - 1) * (p / 100.0)
    lo = math.floor(h)
    if lo + 1 < len(s):
        return (s[lo + 1] - s[lo]) * (h - lo) + s[lo]
    return s[-1]
