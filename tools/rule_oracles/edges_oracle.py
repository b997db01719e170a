#!/usr/bin/env python3
"""Second implementation of the two finger-edge searches (mode 0, and modes 1 and 2), written
from their written rules alone, over drawn finger images whose true outline is known.

Writes tests/engine_quality/data/edges_*.png and edges_expected.txt. Run from the repository
root:  python3 tools/rule_oracles/edges_oracle.py
"""
import math
import random
import struct
import sys

import png_gray

W, H = 320, 240
SQRT1024 = [(math.isqrt(4 * (i << 20)) + 1) // 2 for i in range(1025)]
LOG16 = [int(math.floor(65536 * math.log(i + 1) + 0.5)) for i in range(1024)]


def scaled_root(i):
    x, c = 100 * max(i - 10, 0), 0
    while x > 1024:
        x >>= 2
        c += 1
    return (SQRT1024[x] << c) >> 10


ROOT = [scaled_root(i) for i in range(256)]


def tdiv(a, b):
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def gradient(img):
    m = [ROOT[v] for v in img]
    g = [0] * (W * H)
    hs = [0] * (W * H)
    for r in range(H):
        for c in range(1, W - 1):
            hs[r * W + c] = m[r * W + c - 1] + 2 * m[r * W + c] + m[r * W + c + 1]
    return m, hs, g


def grad_mode0(img):
    _, hs, d = gradient(img)
    for r in range(1, H - 1):
        for c in range(1, W - 1):
            d[r * W + c] = abs(hs[(r - 1) * W + c] - hs[(r + 1) * W + c]) // 4
    return d


def grad_mode12(img):
    _, hs, g = gradient(img)
    for r in range(1, H - 1):
        for c in range(1, W - 1):
            g[r * W + c] = abs(tdiv(hs[(r - 1) * W + c] - hs[(r + 1) * W + c], 4))
    return g


def col_sum(plane, c0, c1):
    return [sum(plane[r * W + c] for c in range(c0, c1 + 1)) for r in range(H)]


def smooth121(p, first, last, rounding):
    q = list(p)
    for r in range(first, last + 1):
        q[r] = tdiv(p[r - 1] + 2 * p[r] + p[r + 1] + rounding, 4)
    return q


# --- mode 0 ---------------------------------------------------------------------------------
# The written constants of the mode 0 search. The fixtures below are checked to be decisive: each
# named variant of one constant or comparison gives other rows on at least one of them.
WRITTEN = {
    "centreUpper": 12, "centreLower": 12,  # refinement weights 12 - |d| at column 160
    "stronger": 0.2,                        # a far peak must be 20 % stronger ...
    "far": 10, "span": 80,                  # ... when more than 10 rows beyond, span above 80
    "spreadUpper": 8, "spreadLower": 8,     # row weight exp(-(r - uA)^2 / (8 sU^2))
    "refineRound": 2,                       # (S(r-1) + 2 S(r) + S(r+1) + 2) / 4
    "roundP2": 0, "roundP3": 0, "boxRound": 0, "meanRound": 0,  # the band profiles truncate
    "single": True,                         # the product of the four profiles in single precision
    "midRound": 0,                          # m = (uA + lA) / 2 truncates
    "right": 240, "middle": 120, "reach": 116,  # band columns, rows searched from 120
}


def band_profile(d, c0, rules=WRITTEN):
    p = [col_sum(d, c0 + 20 * k, c0 + 20 * k + 19) for k in range(4)]
    p[1] = smooth121(p[1], 3, 236, rules["roundP2"])
    p[2] = smooth121(p[2], 3, 236, rules["roundP3"])
    for k in (0, 3):
        raw = p[k]
        p[k] = list(raw)
        for r in range(5, 235):
            p[k][r] = (sum(raw[r - 5:r + 6]) + rules["boxRound"]) // 11
    q = [0] * H
    for r in range(3, 237):
        prod = float(p[0][r]) * p[1][r] * p[2][r] * p[3][r]
        if rules["single"]:
            prod = f32(prod)
        g = int(f32(math.sqrt(f32(math.sqrt(prod)))))
        q[r] = ((p[0][r] + p[1][r] + p[2][r] + p[3][r]) // 4 + g + rules["meanRound"]) // 2
    return q


def outward(q, rules=WRITTEN):
    bu = bl = 0
    ku = kl = 0
    f = rules["stronger"]
    for k in range(rules["reach"] + 1):
        lu = LOG16[min(q[120 - k] // 5, 1023)]
        a = 1 if k - ku > rules["far"] else 0
        b = 1 if ku + kl > rules["span"] else 0
        if lu > bu * (1 + f * a * b):
            bu, ku = lu, k
        ll = LOG16[min(q[120 + k] // 5, 1023)]
        a = 1 if k - kl > rules["far"] else 0
        b = 1 if ku + kl > rules["span"] else 0
        if ll > bl * (1 + f * a * b):
            bl, kl = ll, k
    return 120 - ku, 120 + kl


def best_row(s, centre, lo, hi, peak):
    best, row = 0, -1
    for dd in range(-8, 9):
        r = centre + dd
        if r < lo or r > hi:
            continue
        v = (peak - abs(dd)) * s[r]
        if v > best:
            best, row = v, r
    return row


def edges_mode0(img, rules=WRITTEN, d=None):
    d = grad_mode0(img) if d is None else d
    ul, ll = outward(band_profile(d, 0, rules), rules)
    ur, lr = outward(band_profile(d, rules["right"], rules), rules)
    q = band_profile(d, rules["middle"], rules)
    ua, la = (ul + ur) // 2, (ll + lr) // 2
    su, sl = abs(ul - ur) + 1, abs(ll - lr) + 1
    m = (ua + la + rules["midRound"]) // 2
    wq = list(q)
    for r in range(H):
        if r < m:
            w = (int(1024 * math.exp(-(r - ua) ** 2 / (rules["spreadUpper"] * su * su)))
                 if ua + la >= 2 else 0)
        else:
            w = int(1024 * math.exp(-(r - la) ** 2 / (rules["spreadLower"] * sl * sl)))
        wq[r] = tdiv(q[r] * w, 1024)
    um, lm = outward(wq, rules)
    s = smooth121(col_sum(d, 150, 169), 1, 238, rules["refineRound"])
    tu, tl = [0] * 33, [0] * 33
    tu[16] = max(best_row(s, um, 0, 239, rules["centreUpper"]), 0)
    tl[16] = max(best_row(s, lm, 0, 239, rules["centreLower"]), 0)
    if tu[16] and tl[16]:
        for direction in (-1, 1):
            for k in range(1, 16):
                j = 16 + direction * k
                c0 = 141 - 10 * (k - 1) if direction < 0 else 160 + 10 * (k - 1)
                s = smooth121(col_sum(d, c0, c0 + 19), 1, 238, 2)
                pu, pl = tu[j - direction], tl[j - direction]
                tu[j] = max(best_row(s, pu, 0, 239, 15), 0)
                if pl - 8 > 239:
                    break
                r = best_row(s, pl, max(pl - 8, 0), min(pl + 8, 239), 15)
                if r < 0:
                    break
                tl[j] = r
    j1 = next((j for j in range(1, 32) if tu[j] and tl[j]), 1)
    j2 = next((j for j in range(31, 0, -1) if tu[j] and tl[j]), 31)
    for t in (tu, tl):
        c = list(t)
        for j in range(j1 + 1, j2):
            t[j] = (c[j - 1] + 2 * c[j] + c[j + 1] + 2) // 4
    if j1 == 1:
        tu[0], tl[0], j1 = tu[1], tl[1], 0
    if j2 == 31:
        tu[32], tl[32], j2 = tu[31], tl[31], 32
    up, lo = [0] * W, [0] * W
    if j1 < j2:
        for j in range(j1, j2):
            for i in range(10):
                up[10 * j + i] = (tu[j] * (10 - i) + tu[j + 1] * i + 5) // 10
                lo[10 * j + i] = (tl[j] * (10 - i) + tl[j + 1] * i + 5) // 10
    return 0, up, lo


# --- modes 1 and 2 --------------------------------------------------------------------------
def raw_profile(img, c0, c1):
    p = [0] * H
    for r in range(1, H - 1):
        p[r] = sum(abs(img[(r + 1) * W + c] - img[(r - 1) * W + c]) for c in range(c0, c1 + 1))
    return smooth121(p, 3, 236, 0)


def edges_mode12(img):
    g = grad_mode12(img)
    su, sl = [0] * 32, [0] * 32
    for j in range(32):
        p = raw_profile(img, 10 * j, 10 * j + 9)
        a = 9
        for r in range(9, 110):
            if p[r] > p[a]:
                a = r
        for r in range(a + 1, 111):
            if p[r] >= p[r + 1] and p[r] > 200:
                a = r
        b = 129
        for r in range(129, 230):
            if p[r] > p[b]:
                b = r
        for r in range(b - 1, 127, -1):
            if p[r] >= p[r - 1] and p[r] > 200:
                b = r
        su[j], sl[j] = a, b
    fingers = [j for j in range(32) if su[j] != 9 and sl[j] != 129]
    if not fingers:
        return -1, None, None
    first, end = fingers[0], fingers[-1] + 1
    mu = sum(su[first:end]) // (end - first)
    ml = sum(sl[first:end]) // (end - first)
    q = raw_profile(img, 150, 169)
    au = mu
    for r in range(mu - 8, mu + 9):
        if r < 0:
            continue
        if q[r] > q[r - 1] and q[r] > q[r + 1] and q[r] > 200:
            au = r
    al = ml
    for r in range(ml + 8, ml - 9, -1):
        if r >= 240:
            continue
        if q[r] > q[r - 1] and q[r] > q[r + 1] and q[r] > 200:
            al = r
    tu, tl = [0] * 32, [0] * 32
    tu[16], tl[16] = au, al

    def track(j, prev_j, c0):
        rr = smooth121(col_sum(g, c0, c0 + 19), 1, 238, 0)
        prev = tu[prev_j]
        if abs(prev - su[j]) < 6:
            tu[j] = su[j]
        else:
            tu[j] = max(best_row(rr, prev, prev + max(-8, -prev), prev + 8, 15), 0)
        prev = tl[prev_j]
        if abs(prev - sl[j]) < 6:
            tl[j] = sl[j]
            return True
        r = best_row(rr, prev, prev - 8, prev + min(8, 239 - prev), 15)
        if r < 0:
            return False
        tl[j] = r
        return True
    for j in range(15, first, -1):
        if not track(j, j + 1, 10 * j - 9):
            break
    for j in range(17, end):
        if not track(j, j - 1, 10 * j - 10):
            break
    s0 = next((j for j in range(1, 32) if tu[j] and tl[j]), 1)
    s1 = next((j for j in range(31, 0, -1) if tu[j] and tl[j]), 31)
    for t in (tu, tl):
        c = list(t)
        for j in range(s0 + 2, s1 - 1):
            t[j] = (c[j - 2] + 2 * c[j - 1] + 4 * c[j] + 2 * c[j + 1] + c[j + 2] + 5) // 10
    up, lo = [0] * W, [0] * W
    if s0 < s1:
        for j in range(s0, s1):
            for k in range(10):
                up[10 * j + k] = ((10 - k) * tu[j] + k * tu[j + 1] + 5) // 10
                lo[10 * j + k] = ((10 - k) * tl[j] + k * tl[j + 1] + 5) // 10
    return 0, up, lo


# --- drawn fingers --------------------------------------------------------------------------
def draw(rng, upper_of, lower_of, level=150, background=30, end_col=W, noise=3, soft=3.0,
         frame=0, veins=0, marks=()):
    """marks: (first column, last column, row of column, thickness, grey change) bands drawn
    before the noise, for a second border or a line where a rule has to choose."""
    img = [0] * (W * H)
    lines = [(rng.uniform(90, 160), rng.uniform(-0.3, 0.3), rng.uniform(8, 20)) for _ in range(veins)]
    for c in range(W):
        u, l = upper_of(c), lower_of(c)
        for r in range(H):
            # soft borders over a few rows; a rounded cross-section between them
            t_in = (min(1.0, max(0.0, (r - u + soft / 2) / soft)) *
                    min(1.0, max(0.0, (l - r + soft / 2) / soft)))
            if c >= end_col:
                t_in *= max(0.0, 1.0 - (c - end_col) / 4.0)
            mid, half = (u + l) / 2.0, max(1.0, (l - u) / 2.0)
            shade = 1.0 - 0.25 * min(1.0, ((r - mid) / half) ** 2)
            v = background + (level * shade - background) * t_in
            # a bright frame line outside the finger, as some devices show; dark veins inside
            if frame and (abs(r - (u - frame)) < 1.5 or abs(r - (l + frame)) < 1.5):
                v = max(v, background + 55)
            for y0, slope, depth in lines:
                if abs(r - (y0 + slope * (c - 160))) < 2.0:
                    v -= depth * t_in
            for c0, c1, row_of, thick, change in marks:
                if c0 <= c <= c1 and 0 <= r - row_of(c) < thick:
                    v += change
            v += rng.uniform(-noise, noise)
            img[r * W + c] = max(0, min(254, int(round(v))))
    return img


def lin(a, b):
    return lambda c: a + b * c


def raised_middle(row, by):
    """An edge `by` rows lower over the middle columns than in the outer bands."""
    def f(c):
        return row + by * min(1.0, max(0.0, (c - 95) / 20.0)) * min(1.0, max(0.0, (225 - c) / 20.0))
    return f


def tent():
    """Every column the same: flat dark, a ramp up from row 95 to 117 and down to row 140 whose
    raw profile is a plateau across rows 110/111 and 127/128, the ends of the strip searches:
    "not below the next row" and "not below the row before" decide the strip rows."""
    col = []
    for r in range(H):
        if 95 <= r <= 117:
            col.append(20 + (21 * (r - 95)) // 2)
        elif 117 < r <= 140:
            col.append(20 + (21 * (140 - r)) // 2)
        else:
            col.append(20)
    return [col[r] for r in range(H) for _ in range(W)]


def flat(marks=False):
    """A flat finger of grey 150 on 30 with sharp borders between rows 64/65 and 175/176: each
    border's centre profile is a two-row plateau, so the centre anchor's strict peak test
    decides. With marks, two faint ramps of 14 + 14 grey levels, one under columns 150 to 159
    at row 70 and one under columns 160 to 169 at row 169, peak at 210 in the centre profile,
    just above 200, and one column fewer drops them below: the centre columns decide."""
    img = [30] * (W * H)
    for r in range(65, 176):
        for c in range(W):
            img[r * W + c] = 150
    if marks:
        for c in range(150, 160):
            img[70 * W + c] += 14
            for r in range(71, 101):
                img[r * W + c] += 28
        for c in range(160, 170):
            img[169 * W + c] += 14
            for r in range(140, 169):
                img[r * W + c] += 28
    return img


def main():
    rng = random.Random(7310)
    cases = [
        ("level", lambda c: 64, lambda c: 176, {}),
        ("tilted", lambda c: 50 + c * 0.12, lambda c: 158 + c * 0.1, {}),
        ("curved", lambda c: 70 + 6 * math.sin(c / 45.0), lambda c: 168 - 5 * math.cos(c / 60.0), {}),
        ("tip", lambda c: 72, lambda c: 165, {"end_col": 245}),
        ("lowLost", lambda c: 80 + c * 0.05, lambda c: 175 + max(0, c - 200) * 0.8, {}),
        ("darkFinger", lambda c: 66, lambda c: 170, {"level": 20, "background": 120}),
        ("narrow", lambda c: 95, lambda c: 150, {"noise": 6}),
        ("rough", lambda c: 62 + 3 * math.sin(c / 20.0), lambda c: 172 + 4 * math.sin(c / 33.0),
         {"level": 120, "background": 45, "noise": 14, "soft": 7.0, "veins": 5}),
        ("framed", lambda c: 70 + c * 0.03, lambda c: 168 - c * 0.02,
         {"noise": 5, "frame": 9, "veins": 4}),
        ("faint", lambda c: 75, lambda c: 165 + 6 * math.sin(c / 50.0),
         {"level": 72, "background": 45, "noise": 6, "soft": 5.0, "veins": 6}),
        ("uniform", None, None, {}),
        # Mode 0 fixtures, each drawn with its own seed, on which one written constant or
        # comparison decides the rows ("decides": the variant that must give other rows).
        # The outer bands put the upper estimate on row 67, the middle edge lies 6 rows lower
        # and a faint step sits at row 67 under the refinement columns: the weights 12 - |d|
        # choose between the step and the edge.
        ("centreStep", raised_middle(67, 6), lin(167, 0),
         {"noise": 2, "soft": 3.0, "marks": [(149, 172, lin(67, 0), 6, 16)], "seed": 288,
          "decides": [("centreUpper", 13)]}),
        # A steep lower edge with a line above it: the refinement's rounding term decides.
        ("steep", lin(73.905, -0.0369), lin(230.707, -0.1794),
         {"noise": 1, "soft": 2.0, "marks": [(119, 187, lin(211, -0.1794), 4, 60)], "seed": 1800,
          "decides": [("refineRound", 0)]}),
        # Outer lower estimates apart: the spread 8 of the lower row weight decides.
        ("spreadRough", lin(66.713, -0.067), lin(160.148, 0.0553),
         {"noise": 7, "soft": 6.656, "veins": 5, "level": 110, "background": 54, "seed": 1009,
          "decides": [("spreadLower", 9), ("spreadLower", 7)]}),
        # Bright lines beyond both edges, more than 10 rows out: the 20 % margin decides.
        ("farLines", lin(86.706, -0.0169), lin(182.089, 0.0182),
         {"noise": 1, "soft": 4.0, "marks": [(0, 319, lin(218, 0.0182), 2, 74),
                                             (0, 319, lin(62, -0.0169), 2, 123)], "seed": 1030,
          "decides": [("stronger", 0.1), ("stronger", 0.3)]}),
        # Edges 44 and 36 rows from row 120, a line beyond: a span of exactly 80 is not above 80;
        # the profile roundings decide as well.
        ("spanLine", lin(76, 0), lin(156, 0),
         {"noise": 3, "soft": 2.0, "marks": [(0, 319, lin(62, 0), 2, 66)], "seed": 35239,
          "decides": [("span", 79), ("roundP2", 2), ("roundP3", 2), ("boxRound", 5),
                      ("meanRound", 1)]}),
        # A line just above the upper edge, about 10 rows beyond it: "more than 10" decides.
        ("nearLine", lin(72, 0), lin(155, 0),
         {"noise": 1, "soft": 4.0, "marks": [(0, 319, lin(59, 0), 3, 61)], "seed": 35078,
          "decides": [("far", 9), ("roundP2", 2), ("boxRound", 5), ("meanRound", 1)]}),
        # From column 255 the lower border lies below the frame: those strips find an upper
        # edge but no lower one, and a finger strip needs both.
        ("lowerGone", lin(70, 0), lambda c: 175 if c < 255 else 300, {"noise": 2, "seed": 4}),
        # Outer upper estimates far apart (wide upper weight), lower ones equal (narrow): the
        # row m = (uA + lA) / 2 = 122 takes the lower weight, near 0; a dark band from row 123
        # in the middle band makes a peak there that the upper weight would let through.
        ("midRow", lin(40, 70 / 319.0), lin(170, 0),
         {"noise": 0, "soft": 3.0, "marks": [(120, 199, lin(123, 0), 15, -100)], "seed": 3,
          "decides": [("midRound", 1)]}),
        # A finger ending at column 206 and a bright bar in column 239 alone, just left of the
        # right band; a dark band across the middle band: the band columns decide.
        ("tipBar", lin(69, 0), lin(182, 0),
         {"noise": 2, "soft": 3.0, "end_col": 206, "seed": 11,
          "marks": [(239, 239, lin(72, 0), 113, 119), (120, 199, lin(99, 0), 7, -92)],
          "decides": [("right", 239), ("middle", 121)]}),
        # Edges at rows 3 to 12 and 236, the second as far from row 120 as the search reaches.
        ("frameEdges", lin(3, 0.029), lin(236, 0), {"noise": 2, "soft": 2.0, "seed": 37,
                                                    "decides": [("reach", 115)]}),
        ("tent", lin(95, 0), lin(140, 0), {"image": tent}),
        ("flat", lin(65, 0), lin(175, 0), {"image": flat}),
        ("flatMarks", lin(65, 0), lin(175, 0), {"image": lambda: flat(marks=True)}),
    ]
    lines = []
    for name, up, lo, opts in cases:
        opts = dict(opts)
        decides = opts.pop("decides", [])
        case_rng = random.Random(opts.pop("seed")) if "seed" in opts else rng
        if up is None:
            img = [90] * (W * H)
            up = lo = lambda c: 0
        elif "image" in opts:
            img = opts["image"]()
        else:
            img = draw(case_rng, up, lo, **opts)
        rows0 = edges_mode0(img)
        for key, value in decides:
            if edges_mode0(img, dict(WRITTEN, **{key: value})) == rows0:
                sys.exit("%s: %s = %r no longer changes the rows" % (name, key, value))
        png_gray.write("tests/engine_quality/data/edges_%s.png" % name, W, H, img)
        outline_u = " ".join(str(int(round(up(c)))) for c in range(W))
        outline_l = " ".join(str(int(round(lo(c)))) for c in range(W))
        lines.append("%s outline upper %s" % (name, outline_u))
        lines.append("%s outline lower %s" % (name, outline_l))
        for mode, fn in (("mode0", edges_mode0), ("mode12", edges_mode12)):
            status, eu, el = fn(img)
            lines.append("%s %s status %d" % (name, mode, status))
            if eu is not None:
                lines.append("%s %s upper %s" % (name, mode, " ".join(map(str, eu))))
                lines.append("%s %s lower %s" % (name, mode, " ".join(map(str, el))))
    with open("tests/engine_quality/data/edges_expected.txt", "w") as f:
        f.write("# Written by tools/rule_oracles/edges_oracle.py; do not edit.\n")
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    sys.exit(main())
