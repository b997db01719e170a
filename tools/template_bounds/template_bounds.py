#!/usr/bin/env python3
"""Square-sum bounds of the cell vectors that extraction and enrolment can write.

Written from the nibble and merge rules alone, not from the engine's code:
- one capture: x = response >> 5 for 16 inputs, where a response is 0 or at least 640 (the
  magnitude 640 sqrt(e^2 + o^2) of whole numbers e, o), so x = 0 or x >= 20; S = sum of x^2,
  norm n = (table root of S) >> 10, 1 when 0; value = min(15, (64 x // 3) // n);
- a merge: m = 0..15 for 16 positions, n = table root of sum m^2, 1 when 0;
  value = min(15, (m * 65536 // 3) // n).
The table root is SqrtTable1024[S >> 2k] << k for the smallest k with S >> 2k <= 1024, the table
holding round(1024 sqrt(i)).

Both scales make a vector of length about 64/3 (square sum about 455.1). Two bounds follow:
- upper: the largest square sum of the values (kMaxCaptureSquares, kMaxMergedSquares);
- lower, for a vector with no value 15 (a clamped value hides its share of the length) and not
  all zero: value + 1 exceeds the unclamped value, so the sum of (value + 1)^2 exceeds
  (64/3)^2 S / n^2 (kMinCellLength).
For each norm a knapsack over the 16 positions gives the exact extremes among inputs with that
square sum; past the norms searched, the relaxation (64/3)^2 H(n) / n^2, with H(n) the largest S
of norm n, bounds the square sum from above, and n <= sqrt(S) (1 + 2^-15) the lower sum from below.
"""
import math

CAPTURE_NORMS = 75    # searched exactly; the relaxation covers the rest
MIN_RESPONSE_X = 20   # 640 >> 5


def sqrt_table(i):
    r = math.isqrt(i << 20)
    return r + 1 if (2 * r + 1) ** 2 <= 4 * (i << 20) else r


def table_root(s):
    k = 0
    while (s >> (2 * k)) >= 1025:
        k += 1
    return sqrt_table(s >> (2 * k)) << k


def knapsack(limit, inputs, score, better):
    """best[S] over 16 inputs x (0 always allowed) with sum of x^2 = S: the best sum of score(x)
    and the inputs giving it; score(x) None excludes x."""
    best = [None] * (limit + 1)
    best[0] = (0, ())
    for _ in range(16):
        nxt = [None if b is None else (b[0] + score(0), b[1] + (0,)) for b in best]
        for s in range(limit + 1):
            if best[s] is None:
                continue
            for x in inputs:
                t = s + x * x
                if t > limit:
                    break
                if score(x) is None:
                    continue
                c = best[s][0] + score(x)
                if nxt[t] is None or better(c, nxt[t][0]):
                    nxt[t] = (c, best[s][1] + (x,))
        best = nxt
    return best


def largest_of_norm(n):
    lo, hi = 0, 1
    while (table_root(hi) >> 10) <= n:
        hi *= 2
    while hi - lo > 1:
        mid = (lo + hi) // 2
        if (table_root(mid) >> 10) <= n:
            lo = mid
        else:
            hi = mid
    return lo


def capture_bounds():
    sums = {}
    for s in range(1, (CAPTURE_NORMS + 2) ** 2):
        n = max(1, table_root(s) >> 10)
        if n <= CAPTURE_NORMS:
            sums.setdefault(n, []).append(s)
    upper, upper_at, lower = 0, None, None
    for n, ss in sorted(sums.items()):
        top = max(ss)
        inputs = range(MIN_RESPONSE_X, math.isqrt(top) + 1)
        value = lambda x: min(15, (64 * x // 3) // n)
        most = knapsack(top, inputs, lambda x: value(x) ** 2, lambda a, b: a > b)
        least = knapsack(top, inputs, lambda x: None if value(x) == 15 else (value(x) + 1) ** 2,
                         lambda a, b: a < b)
        for s in ss:
            if most[s] is not None and most[s][0] > upper:
                upper, upper_at = most[s][0], (n, most[s][1])
            if least[s] is not None and (lower is None or least[s][0] < lower):
                lower = least[s][0]
    # Past the searched norms.
    relaxed = max((64 / 3) ** 2 * largest_of_norm(n) / n ** 2
                  for n in list(range(CAPTURE_NORMS + 1, 50000)) +
                  [int(50000 * 1.0005 ** i) for i in range(1, 30000)])
    relaxed_lower = math.floor((64 / 3) ** 2 / (1 + 2 ** -15) ** 2) + 1
    return max(upper, math.floor(relaxed)), upper_at, min(lower, relaxed_lower)


def merge_bounds():
    upper, lower = 0, None
    for s in range(1, 16 * 225 + 1):
        n = table_root(s) or 1
        value = [min(15, (m * 65536 // 3) // n) for m in range(16)]
        most = knapsack(s, range(1, 16), lambda m: value[m] ** 2, lambda a, b: a > b)
        if most[s] is not None:
            upper = max(upper, most[s][0])
        if s < 100:  # beyond, n <= 1024 sqrt(S) + 1 keeps the lower sum above 455.02
            least = knapsack(s, range(1, 16), lambda m: None if value[m] == 15 else (value[m] + 1) ** 2,
                             lambda a, b: a < b)
            if least[s] is not None and (lower is None or least[s][0] < lower):
                lower = least[s][0]
    return upper, min(lower, 456)


if __name__ == "__main__":
    upper, (n, inputs), lower = capture_bounds()
    print("one capture: squares at most", upper, "(norm", n, "inputs", sorted(inputs, reverse=True),
          "), without a 15 (value + 1)^2 summing to at least", lower)  # 471, 456
    upper, lower = merge_bounds()
    print("merged: squares at most", upper, ", without a 15 (value + 1)^2 at least", lower)  # 456, 456
