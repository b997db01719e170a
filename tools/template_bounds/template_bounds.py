#!/usr/bin/env python3
"""Largest square sum of a cell vector that enrolment can write (kMaxCellSquares).

Written from the nibble and merge rules alone, not from the engine's code:
- one image: x = response >> 5 (any value from 0 up) for 16 inputs, S = sum of x^2,
  norm = (table root of S) >> 10, 1 when 0; value = min(15, (64 x // 3) // norm);
- a merge: m = 0..15 for 16 positions, n = table root of sum m^2, 1 when 0;
  value = min(15, (m * 65536 // 3) // n).
The table root is SqrtTable1024[S >> 2k] << k for the smallest k with S >> 2k <= 1024, the table
holding round(1024 sqrt(i)). For each S a knapsack over the 16 positions gives the largest sum of
squared values whose inputs have exactly that square sum. Past a norm of 40 the truncations no
longer lift the sum above (64 / 3)^2 (1 + 1/40)^2 < 480, so the search stops there.
"""
import math


def sqrt_table(i):
    r = math.isqrt(i << 20)
    return r + 1 if (2 * r + 1) ** 2 <= 4 * (i << 20) else r


def table_root(s):
    k = 0
    while (s >> (2 * k)) >= 1025:
        k += 1
    return sqrt_table(s >> (2 * k)) << k


def best_sums(limit, values):
    """best[S] = the largest sum of values[x] over 16 inputs x with sum of x^2 = S (-1: none)."""
    best = [-1] * (limit + 1)
    best[0] = 0
    for _ in range(16):
        nxt = best[:]
        for s in range(limit + 1):
            if best[s] < 0:
                continue
            for x in range(1, len(values)):
                t = s + x * x
                if t > limit:
                    break
                nxt[t] = max(nxt[t], best[s] + values[x])
        best = nxt
    return best


def single_image_bound(max_norm=40):
    result = 0
    norms = {}
    s = 0
    while True:
        n = max(1, table_root(s) >> 10)
        if n > max_norm:
            break
        norms.setdefault(n, []).append(s)
        s += 1
    for n, sums in norms.items():
        top = max(sums)
        values = [min(15, (64 * x // 3) // n) ** 2 for x in range(math.isqrt(top) + 1)]
        best = best_sums(top, values)
        result = max(result, max(best[s] for s in sums))
    return result


def merge_bound():
    result = 0
    for s in range(1, 16 * 225 + 1):
        n = table_root(s) or 1
        values = [min(15, (m * 65536 // 3) // n) ** 2 for m in range(16)]
        result = max(result, best_sums(s, values)[s])
    return result


if __name__ == "__main__":
    print("one image:", single_image_bound())  # 800: eight inputs of 1, norm 2, values 10
    print("merged:", merge_bound())            # 456
