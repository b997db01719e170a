#!/usr/bin/env python3
"""Second implementation of the coverage maps and the coarse vector, written from their written
rules alone (single-precision steps emulated one by one). The projection weights are read from
the engine's committed table, so a retrained table means running this again.

Writes tests/engine_feature/data/coverage_fixtures.bin and coverage_expected.txt. Run from the
repository root:  python3 tools/rule_oracles/coverage_oracle.py
"""
import math
import random
import re
import struct
import sys

ROWS, COLS, CELLS, RESPONSES = 15, 22, 330, 112
SRA = [0, 2, 4, 6, 8, 10, 12, 14]
SCA = [0, 1, 2, 3, 5, 6, 7, 9, 10, 11, 12, 14, 15, 16, 18, 19, 20, 21]
SRB = [1, 3, 5, 7, 9, 11, 13]
SCB = [1, 2, 4, 5, 7, 8, 10, 11, 13, 14, 16, 17, 19, 20]
WINDOWS = [(0, 1), (0, 11), (6, 1), (6, 11)]


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def band(pairs, j):
    if j == 139:
        return pairs[69][0] + 4, pairs[69][1] - 4
    a, b = j // 2, (j + 1) // 2
    return (pairs[a][0] + pairs[b][0]) // 2 + 4, (pairs[a][1] + pairs[b][1]) // 2 - 4


def coverage_grid(pairs, radius, origin, first_col=6, row_step=5, col_step=6):
    out = []
    for r in range(ROWS):
        for c in range(COLS):
            y, x = origin + row_step * r, first_col + col_step * c
            n = 0
            for j in range(x - radius, x + radius + 1):
                if not 0 <= j <= 139:
                    continue
                top, bottom = band(pairs, j)
                top, bottom = max(top, y - radius), min(bottom, y + radius)
                if bottom >= top:
                    n += bottom - top + 1
            out.append(n * 255 // ((2 * radius + 1) ** 2))
    return out


def samples(grid, radius):
    if radius == 15:
        return [grid[SRA[k // 18] * COLS + SCA[k % 18]] for k in range(144)]
    return [grid[SRB[k // 14] * COLS + SCB[k % 14]] for k in range(98)]


def refine_weights():
    text = open("engine/tables/refine_weights_data.cpp").read()
    body = text[text.index("= {") + 3:text.index("};")]
    values = [f32(float(v)) for v in re.findall(r"-?[0-9.]+(?:e-?[0-9]+)?(?=f)", body)]
    assert len(values) == 3840, len(values)
    return values


def coarse(coverage, work, weights):
    out = []
    for row0, col0 in WINDOWS:
        acc = [0.0] * 64
        for r in range(row0, row0 + 9):
            for c in range(col0, col0 + 10):
                cell = r * COLS + c
                for k in range(64):
                    acc[k] = f32(acc[k] + f32(f32(coverage[cell]) * f32(work[cell * RESPONSES + 48 + k])))
        proj = []
        squares = 0.0
        for j in range(60):
            s = 0.0
            for k in range(64):
                s = f32(s + f32(weights[j * 64 + k] * acc[k]))
            proj.append(s)
            squares = f32(squares + f32(s * s))
        n = f32(math.sqrt(squares))
        if n < f32(0.0001):
            n = f32(0.0001)
        inverse = f32(1.0 / n)
        for j in range(60):
            out.append(int(math.floor(f32(f32(f32(proj[j] * 126.0) * inverse) + 0.5))))
    return out


def main():
    rng = random.Random(5150)
    # Edge pairs of a finger that narrows to the right, with a gap (120, 0) and a last pair
    # unlike its neighbour, so that column 139's own rule shows.
    pairs = []
    for p in range(70):
        top, bottom = 12 + p // 6 + rng.randrange(3), 108 - p // 5 - rng.randrange(3)
        pairs.append((top, bottom))
    pairs[20] = pairs[21] = (120, 0)
    pairs[68], pairs[69] = (20, 100), (40, 70)
    lines = []
    for origin in (0, 7, -3):
        for radius in (15, 27):
            grid = coverage_grid(pairs, radius, origin)
            lines.append("grid %d %d %s" % (origin, radius, " ".join(map(str, grid))))
            lines.append("samples %d %d %s" % (origin, radius, " ".join(map(str, samples(grid, radius)))))
    # Coarse vector: a coverage map with a zero window corner, responses of both signs whose
    # scales differ, and one window without responses (all its values 0).
    cov = [rng.randrange(256) for _ in range(CELLS)]
    for c in range(CELLS):
        if c // COLS < 3 and c % COLS < 4:
            cov[c] = 0
    work = []
    for cell in range(CELLS):
        for k in range(RESPONSES):
            scale = k // 16
            work.append(rng.randrange(-3000, 9000) * (scale + 1) if scale != 2 else rng.randrange(-50, 50))
    for r in range(6, 15):
        for c in range(11, 21):
            for k in range(48, 112):
                work[(r * COLS + c) * RESPONSES + k] = 0
    lines.append("coarse %s" % " ".join(map(str, coarse(cov, work, refine_weights()))))
    with open("tests/engine_feature/data/coverage_fixtures.bin", "wb") as f:
        f.write(bytes(v for p in pairs for v in p))
        f.write(bytes(cov))
        f.write(struct.pack("<%di" % len(work), *work))
    with open("tests/engine_feature/data/coverage_expected.txt", "w") as f:
        f.write("# Written by tools/rule_oracles/coverage_oracle.py; do not edit.\n")
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    sys.exit(main())
