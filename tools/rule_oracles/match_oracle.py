#!/usr/bin/env python3
"""Second implementation of the template matching, the enrolment pair search and merge, written
from their written rules alone (no engine code), to give the matching tests their expected values.

Writes tests/engine_match/data/match_fixtures.bin (random feature blocks and templates) and
match_expected.txt (what the rules make of them). Run from the repository root:
    python3 tools/rule_oracles/match_oracle.py
"""
import math
import random
import struct
import sys

ROWS, COLS = 15, 22
CELLS = ROWS * COLS
RESPONSES = 112
SRA = [0, 2, 4, 6, 8, 10, 12, 14]
SCA = [0, 1, 2, 3, 5, 6, 7, 9, 10, 11, 12, 14, 15, 16, 18, 19, 20, 21]
SRB = [1, 3, 5, 7, 9, 11, 13]
SCB = [1, 2, 4, 5, 7, 8, 10, 11, 13, 14, 16, 17, 19, 20]
ROW_PEN = [0, 2, 4, 8, 14, 22, 32, 44, 58]
COL_PEN = [0, 1, 3, 6, 10, 15, 21, 28, 36, 45, 55]
SQRT1024 = [(math.isqrt(4 * (i << 20)) + 1) // 2 for i in range(1025)]  # nearest 1024 sqrt(i)


def tdiv(a, b):
    """Integer division truncating toward zero."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


def agreement(a, b):
    g = 0
    for w in range(4):
        x = (a[w] ^ b[w]) & 0xFFFFFFFF
        for f in (x & 0x7FF, (x >> 11) & 0x7FF, x >> 22):
            g += 11 - bin(f).count("1")
    return g


class Block:
    def __init__(self):
        self.vec = [[0] * 16 for _ in range(CELLS)]
        self.code = [[0] * 4 for _ in range(CELLS)]
        self.c15 = [0] * CELLS
        self.c27 = [0] * CELLS

    def pack(self):
        out = bytearray(8968)
        for c in range(CELLS):
            for i in range(8):
                out[c * 8 + i] = self.vec[c][2 * i] << 4 | self.vec[c][2 * i + 1]
            struct.pack_into("<4I", out, 2640 + 16 * c, *self.code[c])
            out[8060 + c] = self.c15[c]
            out[8390 + c] = self.c27[c]
        return bytes(out)


class Model:
    def __init__(self):
        self.vec = [[0] * 16 for _ in range(144)]
        self.code = [[0] * 4 for _ in range(98)]
        self.cw = [0] * 144
        self.kw = [0] * 98

    def pack(self):
        out = bytearray(3352)
        for k in range(144):
            for i in range(8):
                out[k * 8 + i] = self.vec[k][2 * i] << 4 | self.vec[k][2 * i + 1]
            out[2868 + k] = self.cw[k]
        for k in range(98):
            struct.pack_into("<4I", out, 1152 + 16 * k, *self.code[k])
            out[3012 + k] = self.kw[k]
        return bytes(out)


def random_vector(rng):
    while True:
        v = [rng.randrange(9) for _ in range(16)]
        if sum(x * x for x in v) <= 450:
            return v


def random_code(rng):
    return [rng.getrandbits(32), rng.getrandbits(32), rng.getrandbits(32), rng.getrandbits(8)]


def random_block(rng, low=90):
    """Cells alike over a few rows and columns, as a finger's are, so that a search from afar
    sees a likeness rise toward the right shift."""
    b = Block()
    coarse_vec = {}
    coarse_code = {}
    for c in range(CELLS):
        key = ((c // COLS + 1) // 3, (c % COLS + 1) // 3)
        if key not in coarse_vec:
            coarse_vec[key], coarse_code[key] = random_vector(rng), random_code(rng)
        b.vec[c] = list(coarse_vec[key]) if rng.random() < 0.7 else random_vector(rng)
        b.code[c] = list(coarse_code[key])
        for _ in range(10):
            bit = rng.randrange(104)
            b.code[c][bit // 32] ^= 1 << (bit % 32)
        col = c % COLS
        # The finger's ends carry little coverage, as in a real block.
        edge = col < 2 or col > 19
        b.c15[c] = rng.randrange(0, 60) if edge else rng.randrange(low, 256)
        b.c27[c] = rng.randrange(0, 60) if edge else rng.randrange(low, 256)
    return b


def model_cut(rng, block, rs, cs, noise=0.0):
    """Template whose samples are the block's cells (row + rs, column + cs), with random weights;
    `noise` is the share of samples replaced by random values."""
    m = Model()
    for k in range(144):
        r, c = SRA[k // 18] + rs, SCA[k % 18] + cs
        if 0 <= r < ROWS and 0 <= c < COLS:
            m.vec[k] = list(block.vec[r * COLS + c])
            m.cw[k] = rng.randrange(60, 256)
        if rng.random() < noise:
            m.vec[k] = random_vector(rng)
    for k in range(98):
        r, c = SRB[k // 14] + rs, SCB[k % 14] + cs
        if 0 <= r < ROWS and 0 <= c < COLS:
            m.code[k] = list(block.code[r * COLS + c])
            m.kw[k] = rng.randrange(60, 256)
        if rng.random() < noise:
            m.code[k] = random_code(rng)
    return m


# --- one-to-one matching -------------------------------------------------------------------
MATCH_PASSES = [  # column range, column step, row range, row step, best reset, mix, penalty base
    (9, 3, 6, 3, False, 0, 2000),
    (0, 4, 2, 4, True, 0, 2700),
    (2, 4, 0, 2, False, 0, 2700),
    (0, 1, 1, 1, True, 30, 2900),
    (1, 2, 0, 2, False, 30, 2900),
]


def shift_score(m, b, rs, cs, p):
    sum_a = w_a = 0
    for k in range(144):
        r, c = SRA[k // 18] + rs, SCA[k % 18] + cs
        if not (0 <= r < ROWS and 0 <= c < COLS):
            continue
        cell = r * COLS + c
        w = min(m.cw[k], b.c15[cell])
        sum_a += sum(x * y for x, y in zip(m.vec[k], b.vec[cell])) * w
        w_a += w
    sum_b = w_b = 0
    for k in range(98):
        r, c = SRB[k // 14] + rs, SCB[k % 14] + cs
        if not (0 <= r < ROWS and 0 <= c < COLS):
            continue
        cell = r * COLS + c
        w = min(m.kw[k], b.c27[cell])
        w2 = (w * w) >> 8
        sum_b += (agreement(m.code[k], b.code[cell]) - 28) * w2
        w_b += w2
    if w_a == 0 or w_b == 0:
        return None
    a = tdiv((int(sum_a * 1000.0 / w_a) >> 8) - 80, 2)
    bb = int(sum_b * 1000.0 / w_b * 330.0 / 34336.0)
    wt = max(10, 70 - 3 * abs(cs) - abs(rs))
    mix, base = MATCH_PASSES[p][5], MATCH_PASSES[p][6]
    mixed = tdiv(wt * bb + mix * a, wt + mix)
    q = max(0, int((30000 - w_a) / 1800))
    factor = tdiv((base - q * q) * 1000, base)
    return tdiv(mixed * factor, 1000)


def run_passes(passes, first, row, col, score, reset_passes, limits=(6, 8)):
    best, extra, centres = 0, 0, []
    for p in range(first, len(passes)):
        cr, cst, rr, rst = passes[p][:4]
        if p in reset_passes:
            best, extra = 0, 0
        bdr = bdc = 0
        for dc in range(-cr, cr + 1, cst):
            cs = col + dc
            if abs(cs) > limits[1]:
                continue
            for dr in range(-rr, rr + 1, rst):
                rs = row + dr
                if abs(rs) > limits[0]:
                    continue
                s = score(rs, cs, p)
                if s is not None and s[0] > best:
                    best, extra, bdr, bdc = s[0], s[1], dr, dc
        row, col = row + bdr, col + bdc
        centres.append((row, col))
    return best, extra, row, col, centres


def match_block(m, b, row, col):
    first = 3
    if row == 20:
        row, col, first = 0, 0, 0
    best, _, row, col, centres = run_passes(
        MATCH_PASSES, first, row, col,
        lambda rs, cs, p: (lambda s: None if s is None else (s, 0))(shift_score(m, b, rs, cs, p)),
        (1, 3))
    return min(999, max(0, best)), row, col, centres


def match_feature(m, blocks, row, col):
    raw, which = 0, 0
    for i, b in enumerate(blocks):
        r, row, col, _ = match_block(m, b, row, col)
        if r > raw:
            raw, which = r, i
    return raw, which, row, col


# --- enrolment pair search and merge -------------------------------------------------------
def enrol_shift_score(a, b, rs, cs):
    sum_a = w_a = sum_b = w_b = 0
    for r in range(ROWS):
        for c in range(COLS):
            r2, c2 = r + rs, c + cs
            if not (0 <= r2 < ROWS and 0 <= c2 < COLS):
                continue
            i, j = r * COLS + c, r2 * COLS + c2
            w = min(a.c15[i], b.c15[j])
            sum_a += sum(x * y for x, y in zip(a.vec[i], b.vec[j])) * w
            w_a += w
            w = min(a.c27[i], b.c27[j])
            sum_b += (agreement(a.code[i], b.code[j]) - 28) * w
            w_b += w
    if w_a == 0 or w_b == 0:
        return None
    aa = tdiv((int(sum_a * 1000.0 / w_a) >> 8) - 90, 2)
    bb = int(sum_b * 1000.0 / w_b * 330.0 / 34336.0)
    wt = max(10, 85 - 3 * abs(rs) - abs(cs))
    pen = ROW_PEN[abs(rs)] + COL_PEN[abs(cs)]
    return tdiv(wt * bb + 30 * aa, wt + 30) - pen, pen


def enrol_pair(a, b, row, col):
    full = row == 20
    step = 2 if full else 1
    passes = [(0, 2, 6, 2), (8, 2, 0, 2), (0, step, 1, step), (1, 2, 0, 2)]
    if full:
        row, col = 0, 0
    cache = {}

    def score(rs, cs, p):
        if (rs, cs) not in cache:
            cache[(rs, cs)] = enrol_shift_score(a, b, rs, cs)
        return cache[(rs, cs)]
    best, pen, row, col, centres = run_passes(passes, 0 if full else 2, row, col, score, (2,))
    return min(999, max(0, best + tdiv(pen, 2))), row, col, centres


def half(s):
    return tdiv(s - 1, 2) if s >= 0 else tdiv(s + 1, 2)


def table_root(x):
    c = 0
    while x > 1024:
        x >>= 2
        c += 1
    return SQRT1024[x] << c


class Running:
    def __init__(self, block):
        self.values = [list(v) for v in block.vec]
        self.w15 = list(block.c15)
        self.w27 = list(block.c27)


def merge(ref, other, ref_table, other_table, running, sr, sc, weight):
    out = Block()
    table = [0] * (CELLS * RESPONSES)
    nxt = Running(out)
    for r in range(ROWS):
        for c in range(COLS):
            cell = r * COLS + c
            rr, rc = r - half(sr), c - half(sc)
            orow, ocol = rr + sr, rc + sc
            ref_in = 0 <= rr < ROWS and 0 <= rc < COLS
            oth_in = 0 <= orow < ROWS and 0 <= ocol < COLS
            i, j = rr * COLS + rc, orow * COLS + ocol
            wr = running.w15[i] if ref_in else 0
            wo = tdiv(other.c15[j] * weight, 10) if oth_in else 0
            w = max(1, wr + wo)
            m = []
            for t in range(16):
                rv = running.values[i][t] if ref_in else 0
                ov = other.vec[j][t] if oth_in else 0
                m.append(tdiv(rv * wr + ov * wo + w // 2, w))
            n = table_root(sum(x * x for x in m)) or 1
            out.vec[cell] = [min(15, tdiv(tdiv(x * 65536, 3), n)) for x in m]
            out.c15[cell] = max(ref.c15[i] if ref_in else 0, other.c15[j] if oth_in else 0)
            wr27 = running.w27[i] if ref_in else 0
            wo27 = tdiv(other.c27[j] * weight, 10) if oth_in else 0
            w27 = max(1, wr27 + wo27)
            for k in range(RESPONSES):
                rv = ref_table[i * RESPONSES + k] if ref_in else 0
                ov = other_table[j * RESPONSES + k] if oth_in else 0
                table[cell * RESPONSES + k] = tdiv(rv * wr27 + ov * wo27 + w27 // 2, w27)
            out.c27[cell] = max(ref.c27[i] if ref_in else 0, other.c27[j] if oth_in else 0)
            nxt.values[cell] = m
            nxt.w15[cell] = w
            nxt.w27[cell] = w27
    return out, table, nxt


def random_table(rng):
    return [rng.randrange(-40000, 200000) for _ in range(CELLS * RESPONSES)]


def checksum(values):
    """Position-weighted sum mod 2^64, the same in the test."""
    s = 0
    for i, v in enumerate(values):
        s = (s + (i + 1) * (v & 0xFFFFFFFF)) & 0xFFFFFFFFFFFFFFFF
    return s


def main():
    rng = random.Random(20261210)
    blocks = [random_block(rng) for _ in range(4)]
    # block 4: block 1 with a third of its cells redrawn, a weaker likeness
    b4 = Block()
    for c in range(CELLS):
        src = blocks[1] if rng.random() < 0.6 else random_block(rng)
        b4.vec[c], b4.code[c] = list(blocks[1].vec[c]), list(blocks[1].code[c])
        if rng.random() < 0.35:
            b4.vec[c], b4.code[c] = random_vector(rng), random_code(rng)
        b4.c15[c], b4.c27[c] = blocks[1].c15[c], blocks[1].c27[c]
    blocks.append(b4)
    # block 5: sparse coverage, so that the overlap penalty reaches its largest values
    b5 = random_block(rng)
    for c in range(CELLS):
        if rng.random() < 0.6:
            b5.c15[c] = rng.randrange(0, 40)
    blocks.append(b5)
    models = [
        model_cut(rng, blocks[0], 2, -3),        # 0: a likeness of block 0 at (2, -3)
        model_cut(rng, blocks[0], -4, 5, 0.3),   # 1: a noisy likeness at (-4, 5)
        model_cut(rng, blocks[1], 0, 0),         # 2: block 1 at (0, 0)
        model_cut(rng, blocks[2], 0, 0),         # 3: an impostor to blocks 0, 1
        model_cut(rng, blocks[3], 1, 7, 0.5),    # 4: a faint likeness of block 3
    ]
    tables = [random_table(rng) for _ in range(3)]
    # block 6 and model 5: nearly orthogonal cell vectors, so that the dot-product part turns
    # negative and its halving must truncate toward zero
    sparse = random_block(rng)
    for c in range(CELLS):
        sparse.vec[c] = [rng.randrange(2) if t < 8 else rng.randrange(9) for t in range(16)]
    models.append(model_cut(rng, sparse, 1, -1))
    for k in range(144):
        models[5].vec[k] = [rng.randrange(4) if t < 8 else 0 for t in range(16)]
    blocks.append(sparse)

    lines = []
    # Every shift and pass of two pairs.
    for mi, bi in ((0, 0), (1, 5), (5, 6)):
        for p in range(5):
            for rs in range(-6, 7):
                for cs in range(-8, 9):
                    s = shift_score(models[mi], blocks[bi], rs, cs, p)
                    lines.append("shift %d %d %d %d %d %s" % (mi, bi, p, rs, cs,
                                                              "-" if s is None else s))
    # Searches from a full start and from given centres: the centre after each pass.
    for mi in range(len(models)):
        for bi in range(len(blocks) if mi < 5 else 7):
            for start in ((20, 0), (0, 0), (2, -2), (-5, 7), (6, 8), (-6, -8)):
                raw, row, col, centres = match_block(models[mi], blocks[bi], *start)
                lines.append("search %d %d %d %d %d %d %d %s" % (
                    mi, bi, start[0], start[1], raw, row, col,
                    " ".join("%d,%d" % c for c in centres)))
    # Three-block features: shifts carried from block to block, the first best block kept.
    for mi in range(5):
        for feature in ((0, 1, 2), (3, 0, 0), (4, 1, 2), (5, 4, 1), (2, 2, 2)):
            raw, which, row, col = match_feature(models[mi], [blocks[i] for i in feature], 20, 0)
            lines.append("feature %d %d %d %d %d %d %d %d" % ((mi,) + feature + (raw, which, row, col)))
    # Enrolment pair scores: every shift of two pairs, then searches.
    for ai, bi in ((1, 4), (0, 5)):
        for rs in range(-6, 7):
            for cs in range(-8, 9):
                s = enrol_shift_score(blocks[ai], blocks[bi], rs, cs)
                lines.append("pairshift %d %d %d %d %s" % (ai, bi, rs, cs,
                                                           "-" if s is None else "%d %d" % s))
    shifted = [Block() for _ in range(2)]
    # blocks 7 and 8: block 1 moved by (3, -4) and block 0 moved by (-2, 6), cells redrawn
    # where they come in from off the grid
    for dst, src, (dr, dc) in ((shifted[0], blocks[1], (3, -4)), (shifted[1], blocks[0], (-2, 6))):
        for r in range(ROWS):
            for c in range(COLS):
                cell, sr_, sc_ = r * COLS + c, r - dr, c - dc
                if 0 <= sr_ < ROWS and 0 <= sc_ < COLS:
                    s = sr_ * COLS + sc_
                    dst.vec[cell], dst.code[cell] = list(src.vec[s]), list(src.code[s])
                    dst.c15[cell], dst.c27[cell] = src.c15[s], src.c27[s]
                else:
                    dst.vec[cell], dst.code[cell] = random_vector(rng), random_code(rng)
                    dst.c15[cell], dst.c27[cell] = rng.randrange(90, 256), rng.randrange(90, 256)
    blocks.extend(shifted)
    for ai, bi in ((1, 4), (1, 7), (0, 8), (8, 0), (0, 5), (2, 3), (4, 7)):
        for start in ((20, 0), (0, 0), (3, -4), (-6, 8)):
            raw, row, col, centres = enrol_pair(blocks[ai], blocks[bi], *start)
            lines.append("pair %d %d %d %d %d %d %d %s" % (
                ai, bi, start[0], start[1], raw, row, col, " ".join("%d,%d" % c for c in centres)))
    # Merges: block 1 with block 7 at its shift, weight 10; then block 4 into that, at a
    # negative shift, weight 7; and one with odd shifts and weight 3.
    def merge_lines(tag, out, table, nxt):
        lines.append("%s vectors %s" % (tag, " ".join(
            "%x" % (sum(v << (4 * (15 - t)) for t, v in enumerate(out.vec[c]))) for c in range(CELLS))))
        lines.append("%s cov15 %s" % (tag, " ".join(str(x) for x in out.c15)))
        lines.append("%s cov27 %s" % (tag, " ".join(str(x) for x in out.c27)))
        lines.append("%s table %d %s" % (tag, checksum(table), " ".join(str(x) for x in table[:112])))
        lines.append("%s running %d %d %d" % (tag, checksum([v for vals in nxt.values for v in vals]),
                                              checksum(nxt.w15), checksum(nxt.w27)))
    run = Running(blocks[1])
    out1, table1, run1 = merge(blocks[1], blocks[7], tables[0], tables[1], run, 3, -4, 10)
    merge_lines("merge1", out1, table1, run1)
    out2, table2, run2 = merge(out1, blocks[4], table1, tables[2], run1, -2, 1, 7)
    merge_lines("merge2", out2, table2, run2)
    out3, table3, run3 = merge(blocks[0], blocks[8], tables[0], tables[2], Running(blocks[0]), -5, 6, 3)
    merge_lines("merge3", out3, table3, run3)

    with open("tests/engine_match/data/match_fixtures.bin", "wb") as f:
        f.write(struct.pack("<3I", len(blocks), len(models), len(tables)))
        for b in blocks:
            f.write(b.pack())
        for m in models:
            f.write(m.pack())
        for t in tables:
            f.write(struct.pack("<%di" % len(t), *t))
    with open("tests/engine_match/data/match_expected.txt", "w") as f:
        f.write("# Written by tools/rule_oracles/match_oracle.py; do not edit.\n")
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    sys.exit(main())
