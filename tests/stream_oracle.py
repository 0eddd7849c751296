"""Pure-Python reference of the seeded stream: ChaCha12 from the published
algorithm, PCG32 key expansion, the word-level recipes and the ziggurat.

Python floats are IEEE doubles evaluated without contraction and `math.exp` /
`math.log` are the platform's libm, so these recipes reproduce the compiled
stream bit for bit.
"""

import math
import struct

MASK32 = 0xFFFFFFFF
MASK64 = 0xFFFFFFFFFFFFFFFF
SIGMA = (0x61707865, 0x3320646E, 0x79622D32, 0x6B206574)  # "expand 32-byte k"


def _rotl(v, n):
    return ((v << n) | (v >> (32 - n))) & MASK32


def chacha12_block(key, counter):
    """One 16-word ChaCha12 block for a 64-bit block counter, stream number 0."""
    s = list(SIGMA) + list(key) + [counter & MASK32, (counter >> 32) & MASK32, 0, 0]
    x = s[:]

    def qr(a, b, c, d):
        x[a] = (x[a] + x[b]) & MASK32
        x[d] = _rotl(x[d] ^ x[a], 16)
        x[c] = (x[c] + x[d]) & MASK32
        x[b] = _rotl(x[b] ^ x[c], 12)
        x[a] = (x[a] + x[b]) & MASK32
        x[d] = _rotl(x[d] ^ x[a], 8)
        x[c] = (x[c] + x[d]) & MASK32
        x[b] = _rotl(x[b] ^ x[c], 7)

    for _ in range(6):
        qr(0, 4, 8, 12)
        qr(1, 5, 9, 13)
        qr(2, 6, 10, 14)
        qr(3, 7, 11, 15)
        qr(0, 5, 10, 15)
        qr(1, 6, 11, 12)
        qr(2, 7, 8, 13)
        qr(3, 4, 9, 14)
    return [(x[i] + s[i]) & MASK32 for i in range(16)]


def pcg32_key(seed):
    """Eight key words: PCG32 outputs of successive advanced states."""
    state = seed
    key = []
    for _ in range(8):
        state = (state * 6364136223846793005 + 11634580027462260723) & MASK64
        x = ((state >> 45) ^ (state >> 27)) & MASK32
        r = state >> 59
        key.append(((x >> r) | (x << (32 - r))) & MASK32 if r else x)
    return key


def splitmix64_first(seed):
    x = (seed + 0x9E3779B97F4A7C15) & MASK64
    x ^= x >> 30
    x = (x * 0xBF58476D1CE4E5B9) & MASK64
    x ^= x >> 27
    x = (x * 0x94D049BB133111EB) & MASK64
    x ^= x >> 31
    return x


def bits_to_double(bits):
    return struct.unpack("<d", struct.pack("<Q", bits))[0]


class WordStream:
    """The stream as a flat sequence of words: blocks 0, 1, 2, ... in order.

    The four-block buffer of the compiled stream reads the same sequence; a
    64-bit draw is always the next two words, low first, also across a refill.
    """

    def __init__(self, seed=None, key=None):
        self.key = pcg32_key(seed) if key is None else list(key)
        self.block = []
        self.counter = 0
        self.consumed = 0

    def u32(self):
        if not self.block:
            self.block = chacha12_block(self.key, self.counter)
            self.counter += 1
        self.consumed += 1
        return self.block.pop(0)

    def u64(self):
        low = self.u32()
        return (self.u32() << 32) | low

    def one_to_two(self):
        return bits_to_double((self.u64() >> 12) | 0x3FF0000000000000)

    def unit(self):
        return (self.u64() >> 11) * 2.0**-53

    def open01(self):
        return self.one_to_two() - 0.9999999999999999

    def bounded(self, i):
        """Widening multiply, at most one extra word, no rejection loop."""
        if i < 2**32:
            bits, draw = 32, self.u32
        else:
            bits, draw = 64, self.u64
        full = 1 << bits
        rng = (i + 1) % full
        if rng == 0:
            return draw()
        prod = draw() * rng
        hi, lo = prod >> bits, prod % full
        if lo + i < full:
            return hi
        t = (draw() * rng) >> bits
        return hi + 1 if lo + t >= full else hi


R = 3.6541528853610088
V = 0.00492867323399


def ziggurat_tables():
    x = [0.0] * 257
    x[0] = V / math.exp(-R * R / 2.0)
    x[1] = R
    for i in range(1, 255):
        x[i + 1] = math.sqrt(-2.0 * math.log(V / x[i] + math.exp(-x[i] * x[i] / 2.0)))
    x[256] = 0.0
    f = [math.exp(-xi * xi / 2.0) for xi in x]
    return x, f


class Ziggurat:
    """Standard normal draws; counts how often each exit path is taken."""

    def __init__(self, tables):
        self.x, self.f = tables
        self.paths = {"fast": 0, "tail": 0, "wedge": 0, "retry": 0}

    def draw(self, ws):
        X, F = self.x, self.f
        while True:
            b = ws.u64()
            i = b & 0xFF
            u = bits_to_double((b >> 12) | 0x4000000000000000) - 3.0
            x = u * X[i]
            if abs(x) < X[i + 1]:
                self.paths["fast"] += 1
                return x
            if i == 0:
                while True:
                    xt = math.log(ws.open01()) / R
                    y = math.log(ws.open01())
                    if not (xt * xt > -2.0 * y):
                        break
                self.paths["tail"] += 1
                return xt - R if u < 0 else R - xt
            v = ws.unit()
            if math.exp(x * x * (-0.5)) > v * (F[i] - F[i + 1]) + F[i + 1]:
                self.paths["wedge"] += 1
                return x
            self.paths["retry"] += 1
