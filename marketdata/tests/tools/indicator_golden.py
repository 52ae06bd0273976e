#!/usr/bin/env python3
"""Golden series of the K-line and minute indicators.

An independent reference written from the indicator formulas (standard
library only). For each case it writes one CSV file into
marketdata/tests/golden/indicators/ holding the inputs (bars, level-2 and
supplement records, minute prices and flow records) unless they come from the
shared generator below, and the expected series, which the C++ tests compare
within the tolerance of each indicator.

Unwritten entries of a series read 0 (a new workspace). Prices are floats:
every input price is rounded to single precision before use, and the trend
state and the zig-zag work in single precision as the terminal does
(f32() after every operation).

Case "big" (8,000 bars) does not store its inputs: they come from BigBars(),
a 64-bit LCG that the C++ test repeats; only sampled rows are stored.

Run from the repository root:  python3 marketdata/tests/tools/indicator_golden.py
"""
import math
import os
import random
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "golden", "indicators")


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


# ---------------------------------------------------------------- inputs

class Bar:
    def __init__(self, o, h, l, c, amount, volume):
        self.o, self.h, self.l, self.c = f32(o), f32(h), f32(l), f32(c)
        self.amount, self.volume = amount, volume


class KCase:
    def __init__(self, name, bars, first, l2, share_base, sup, store_inputs=True, rows=None):
        self.name, self.bars, self.first = name, bars, first
        self.l2, self.share_base, self.sup = l2, share_base, sup
        self.store_inputs, self.rows = store_inputs, rows


L2_CODES = "dfghijlmno"


class Lcg:
    """64-bit LCG; Next() gives the top 31 bits."""

    def __init__(self, seed):
        self.s = seed

    def next(self):
        self.s = (self.s * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        return self.s >> 33


def BigBars():
    """8,000 bars, 512 level-2 and 512 supplement records, share base."""
    g = Lcg(20240611)
    bars = []
    close = 1000
    for i in range(8000):
        close = max(1, close + g.next() % 41 - 20)
        op = max(1, close + g.next() % 21 - 10)
        hi = max(op, close) + g.next() % 15
        lo = max(0, min(op, close) - g.next() % 15)
        vol = g.next() % 100000
        if i % 1000 == 999:  # a suspended day stored with zero prices
            bars.append(Bar(0, 0, 0, 0, 0, 0))
            continue
        bars.append(Bar(op / 100.0, hi / 100.0, lo / 100.0, close / 100.0, vol * close, vol))
    l2 = [[g.next() % 200001 - 100000 for _ in range(10)] for _ in range(512)]
    sup = [g.next() % 500 for _ in range(512)]
    return bars, l2, 123456789, sup


def TrendBars(rng, n):
    bars = []
    c = 20.0
    for i in range(n):
        c = max(0.5, c * (1.0 + 0.004 + rng.uniform(-0.03, 0.03)))
        o = c * (1 + rng.uniform(-0.01, 0.01))
        h = max(o, c) * (1 + rng.uniform(0, 0.02))
        l = min(o, c) * (1 - rng.uniform(0, 0.02))
        v = rng.randint(1000, 900000)
        bars.append(Bar(round(o, 2), round(h, 2), round(l, 2), round(c, 2), int(v * c), v))
    return bars


def KCases():
    rng = random.Random(7)
    cases = []
    # Rising prices with noise, 40 look-back bars, 512 level-2 records for
    # 300 bars (records 0..211 fall before bar 0), a supplement for 280 bars.
    trend = TrendBars(rng, 300)
    l2 = [[rng.randint(-500000, 500000) for _ in range(10)] for _ in range(512)]
    sup = [rng.choice([0, rng.randint(1, 3000)]) for _ in range(280)]
    cases.append(KCase("kline_trend", trend, 40, l2, 98765432, sup))
    # Constant prices; level-2 records but a share base of 0; no supplement.
    flat = [Bar(10, 10, 10, 10, 100000, 10000) for _ in range(100)]
    l2 = [[rng.randint(-1000, 1000) for _ in range(10)] for _ in range(60)]
    cases.append(KCase("kline_flat", flat, 0, l2, 0, []))
    # Zero volume, zero lows and bars stored with zero prices; 100 records
    # with some zero sums; trade counts of 0.
    bars = TrendBars(rng, 120)
    for i in (0, 15, 16, 50, 119):
        bars[i] = Bar(0, 0, 0, 0, 0, 0)
    for i in (30, 31, 70):
        b = bars[i]
        bars[i] = Bar(b.o, b.h, 0, b.c, 0, 0)
    l2 = []
    for k in range(100):
        rec = [rng.randint(0, 300000) for _ in range(10)]
        if k % 7 == 0:
            rec = [0] * 10
        if k % 11 == 0:
            rec[1] = rec[4] = 0  # q = f + i = 0
        l2.append(rec)
    sup = [0 if k % 5 == 0 else rng.randint(1, 2000) for k in range(120)]
    cases.append(KCase("kline_zeros", bars, 0, l2, 5000000, sup))
    big, l2, base, sup = BigBars()
    rows = sorted(set(list(range(0, 8000, 97)) + list(range(95, 112)) + list(range(7985, 8000)) +
                      list(range(995, 1012))))
    cases.append(KCase("kline_big", big, 100, l2, base, sup, store_inputs=False, rows=rows))
    return cases


# ------------------------------------------------------ K-line reference

def KLineSeries(case):
    bars, first = case.bars, case.first
    end = len(bars)
    C = [b.c for b in bars]
    H = [b.h for b in bars]
    L = [b.l for b in bars]
    O = [b.o for b in bars]
    out = {}

    def z():
        return [0.0] * end

    def lowest(i, n):
        return min(L[max(0, i - n + 1):i + 1])

    def highest(i, n):
        return max(H[max(0, i - n + 1):i + 1])

    def avg(i, n):
        if i - n + 1 < 0:
            return 0.0
        s = 0.0
        for j in range(i - n + 1, i + 1):
            s += C[j]
        return s / n

    def std(i, n, m):
        if i - n + 1 < 0 or m == 0:
            return 0.0
        s = 0.0
        for j in range(i - n + 1, i + 1):
            s += (C[j] - m) * (C[j] - m)
        return math.sqrt(s / (n - 1))

    def rsv(i, n):
        l, h = lowest(i, n), highest(i, n)
        if l == 0 or h == 0 or h == l:
            return 50.0
        return (C[i] - l) / (h - l) * 100

    def rising(i, n):
        return sum(1 for j in range(max(1, i - n + 1), i + 1) if C[j] > C[j - 1])

    shown = range(first, end)
    for k, p in enumerate((5, 10, 20, 60)):
        s = z()
        for i in shown:
            s[i] = avg(i, p)
        out["MA%d" % (k + 1)] = s
    # MACD
    se, le, dif, dea, macd = z(), z(), z(), z(), z()
    se[0] = le[0] = C[0]
    for i in range(1, end):
        se[i] = (2 * C[i] + (12 - 1) * se[i - 1]) / (12 + 1)
        le[i] = (2 * C[i] + (26 - 1) * le[i - 1]) / (26 + 1)
        dif[i] = se[i] - le[i]
        dea[i] = (2 * dif[i] + (9 - 1) * dea[i - 1]) / (9 + 1)
        macd[i] = (dif[i] - dea[i]) * 2
    out.update(DIF=dif, DEA=dea, MACD=macd, SEMA=se, LEMA=le)
    # KDJ
    K, D, J = z(), z(), z()
    K[0] = D[0] = J[0] = rsv(0, 9)
    for i in range(1, end):
        r = rsv(i, 9)
        K[i] = (3 - 1) * K[i - 1] / 3 + (1 / 3) * r
        D[i] = (1 / 3) * K[i] + (3 - 1) * D[i - 1] / 3
        J[i] = 3 * K[i] - 2 * D[i]
    out.update(K=K, D=D, J=J)
    # RSI
    for name, n in (("RSI1", 6), ("RSI2", 12), ("RSI3", 24)):
        s = z()
        up = ab = 0.0
        for i in range(1, end):
            d = C[i] - C[i - 1]
            up = (n - 1) * up / n + (1 / n) * max(d, 0.0)
            ab = (1 / n) * abs(d) + (n - 1) * ab / n
            s[i] = 0.0 if ab == 0 else up / ab * 100
        out[name] = s
    # WR
    w1, w2 = z(), z()
    for i in shown:
        h, l = highest(i, 14), lowest(i, 14)
        w1[i] = 0.0 if h - l == 0 else (h - C[i]) * 100 / (h - l)
        h, l = highest(i, 28), lowest(i, 28)
        w2[i] = 2.0 if h - l == 0 else (h - C[i]) * 100 / (h - l)
    out.update(WR1=w1, WR2=w2)
    # BOLL
    bm, bu, bl = z(), z(), z()
    for i in shown:
        m = avg(i, 26)
        s = std(i, 26, m)
        bm[i], bu[i], bl[i] = m, m + 2.0 * s, m - 2.0 * s
    out.update(BOLLM=bm, BOLLU=bu, BOLLL=bl)
    # BIAS
    for name, p in (("BIAS1", 6), ("BIAS2", 12), ("BIAS3", 24)):
        s = z()
        for i in shown:
            m = avg(i, p)
            s[i] = 0.0 if m == 0 else (C[i] - m) / m * 100
        out[name] = s
    # DMA: DDD of every bar from 0
    ddd, ama = z(), z()
    for i in range(end):
        ddd[i] = avg(i, 10) - avg(i, 50)
    for i in shown:
        if i - 10 + 1 >= 0:
            s = 0.0
            for j in range(i - 9, i + 1):
                s += ddd[j]
            ama[i] = s / 10
    out.update(DDD=ddd, AMA=ama)
    # CCI
    def tp(j):
        t = (H[j] + L[j] + C[j]) / 3.0
        return C[j] if t <= 0 else t
    cci = z()
    n = 14
    for i in shown:
        mtp = 0.0
        if i - n + 1 >= 0:
            s = 0.0
            for j in range(i - n + 1, i + 1):
                s += tp(j)
            mtp = s / n
        md = 0.0
        if i - n + 1 >= 0 and mtp != 0:
            s = 0.0
            for j in range(i - n + 1, i + 1):
                s += abs(tp(j) - mtp)
            md = 0.0 if s == 0 else s / n
        md = f32(md)
        cci[i] = 0.0 if md == 0 else (tp(i) - mtp) / (md * 0.015)
    out["CCI"] = cci
    # BRAR
    ar, br = z(), z()
    for i in shown:
        a = b = c = d = 0.0
        for j in range(max(0, i - 25), i + 1):
            p = C[j - 1] if j > 0 else C[j]
            a += H[j] - O[j]
            b += O[j] - L[j]
            c += max(H[j] - p, 0.0) if H[j] - p >= 0 else 0.0
            d += (p - L[j]) if p - L[j] >= 0 else 0.0
        ar[i] = 0.0 if b == 0 else a / b * 100
        br[i] = 0.0 if d == 0 else c / d * 100
    out.update(AR=ar, BR=br)
    # PSY over all bars
    out["PSY"] = [rising(i, 12) / 12 * 100 for i in range(end)]
    out.update(Level2Series(case))
    out["TREND"] = TrendState(C)
    return out


def Level2Series(case):
    end = len(case.bars)
    m = len(case.l2)
    B = case.share_base
    S = end - m
    out = {}

    def rec(i):
        k = i - S
        return dict(zip(L2_CODES, case.l2[k])) if 0 <= k < m else dict.fromkeys(L2_CODES, 0)

    def smooth(base, w):
        s1, s2, s3 = [0.0] * end, [0.0] * end, [0.0] * end
        s1[0] = base[0]
        for i in range(1, end):
            s1[i] = (2 * base[i] + (w - 1) * s1[i - 1]) / (w + 1)
        s1 = [v * w for v in s1]
        for i in range(end):
            if i >= 4:
                s = 0.0
                for j in range(i - 4, i + 1):
                    s += s1[j]
                s2[i] = s / 5
            if i >= 9:
                s = 0.0
                for j in range(i - 9, i + 1):
                    s += s1[j]
                s3[i] = s / 10
        return s1, s2, s3

    zero = [0.0] * end
    w = min(m, 60)
    ddx = [0.0] * end
    ddy = [0.0] * end
    ddz = [0.0] * end
    ddz1 = [0.0] * end
    if m:
        for i in range(max(0, S), end):
            v = rec(i)
            ddx[i] = 0.0 if B == 0 else (v["g"] - v["m"]) * 100.0 / B
        y = 0.0
        for j in range(end):
            v = rec(j)
            t = v["f"] + v["o"] + v["i"] + v["l"]
            x = 0.0 if t == 0 else (2 * v["d"] - v["m"] + v["g"]) / t
            y = x if j == 0 else (2 * x + (w - 1) * y) / (w + 1)
            net = (v["o"] - v["f"]) + (v["l"] - v["i"])
            ddy[j] = 0.0 if B == 0 else net * 100.0 / B * y
        for j in range(max(0, S), end):
            v = rec(j)
            q, p, r = v["f"] + v["i"], v["o"] + v["l"], v["d"] + v["g"]
            u = q + p
            a = 0.0 if q == 0 else v["g"] / q
            b = 0.0 if p == 0 else v["m"] / p
            ddz1[j] = (a - b) / 100
            ddz[j] = 0.0 if (u == 0 or r == 0 or ddz1[j] == 0) else ddz1[j] * 100 / (2.0 * r / u)
        d1, d2, d3 = smooth(ddx, w)
        y1, y2, y3 = smooth(ddy, w)
    else:
        d1 = d2 = d3 = y1 = y2 = y3 = zero
    out.update(DDX=ddx, DDX1=d1, DDX2=d2, DDX3=d3, DDY=ddy, DDY1=y1, DDY2=y2, DDY3=y3, DDZ=ddz, DDZ1=ddz1)
    for names, (a, b) in ((("RH", "RC"), ("d", "j")), (("MH", "MC"), ("g", "m"))):
        hold, chg = [0.0] * end, [0.0] * end
        if m and B:
            c = [(case.l2[k][L2_CODES.index(a)] - case.l2[k][L2_CODES.index(b)]) * 100.0 / B for k in range(m)]
            run = 0.0
            acc = []
            for k in range(m):
                run += c[k]
                acc.append(run)
            for i in range(max(0, S), end):
                chg[i] = c[i - S]
                hold[i] = acc[i - S]
        out[names[0]], out[names[1]] = hold, chg
    bbd = [0] * end
    sums = {3: [0] * end, 5: [0] * end, 10: [0] * end}
    if m:
        for i in range(max(0, S), end):
            v = rec(i)
            bbd[i] = v["h"] - v["n"]
            for p in sums:
                sums[p][i] = sum(bbd[max(0, i - p + 1):i + 1])
    out.update(BBD=bbd, BBD3=sums[3], BBD5=sums[5], BBD10=sums[10])
    vpt, apt = [0.0] * end, [0.0] * end
    ms = len(case.sup)
    for i in range(max(0, end - ms), end):
        c = case.sup[i - (end - ms)]
        if c > 0:
            vpt[i] = case.bars[i].volume / c
            apt[i] = case.bars[i].amount / c
    out.update(VPT=vpt, APT=apt)
    return out


def TrendState(C):
    end = len(C)

    def pavg(i, p):
        s = 0.0
        cnt = 0
        for j in range(max(0, i - p + 1), i + 1):
            s = f32(s + C[j])
            cnt += 1
        return f32(s / cnt)

    weights = (55, 34, 21, 13, 8, 5, 3, 2, 1, 1)

    def fib(x, i):
        if i < 9:
            return x[i]
        s = f32(55 * x[i])
        for k in range(1, 10):
            s = f32(s + f32(weights[k] * x[i - k]))
        return f32(s / 143)

    A = [pavg(i, 34) for i in range(end)]
    Bv = [pavg(i, 8) for i in range(end)]
    F = [pavg(i, 5) for i in range(end)]
    SA, SB = [fib(A, 0)], [fib(Bv, 0)]
    for i in range(1, end):
        SA.append(f32(f32(SA[-1] + fib(A, i)) * 0.5))
        SB.append(f32(f32(SB[-1] + fib(Bv, i)) * 0.5))
    state = [0] * end
    for i in range(1, end):
        up = lambda X: X[i] > X[i - 1]
        dn = lambda X: X[i] < X[i - 1]
        if up(SA) and up(SB) and up(F):
            state[i] = 0
        elif dn(SA) and up(SB):
            state[i] = 1
        elif up(SA) and dn(SB):
            state[i] = 2
        elif dn(SA) and dn(SB) and dn(F):
            state[i] = 3
        if up(F) and dn(SB):
            state[i] = 1
        elif dn(F) and up(SB):
            state[i] = 2
    return state


def ZigZag(C, theta=f32(0.05)):
    end = len(C)
    turns = []
    i0 = next((i for i in range(end) if C[i] > 0), None)
    if i0 is None:
        return turns
    c0 = C[i0]
    t0 = f32(theta * c0)
    i1 = next((i for i in range(i0, end) if abs(math.trunc(f32(C[i] - c0))) >= t0), None)
    if i1 is None:
        return turns
    mv = f32(C[i1] - c0)
    P, I, K = C[i1], i1, 1 if mv <= 0 else 0
    turns.append((C[0], 1, 1 if mv > 0 else 0))
    while True:
        t = f32(theta * P)
        moved = False
        for j in range(I + 1, end):
            c = C[j]
            if K == 1:
                if c <= P:
                    P, I = c, j
                    moved = True
                    break
                if f32(c - P) >= t:
                    turns.append((P, I + 1, 1))
                    P, I, K = c, j, 0
                    moved = True
                    break
            else:
                if c >= P:
                    P, I = c, j
                    moved = True
                    break
                if f32(P - c) >= t:
                    turns.append((P, I + 1, 0))
                    P, I, K = c, j, 1
                    moved = True
                    break
        if not moved:
            turns.append((P, I + 1, K))
            return turns[:8000]


# ------------------------------------------------------ minute reference

def MinuteCases():
    rng = random.Random(11)
    cases = []

    def day(n, r, head):
        p = 15.0
        prices = []
        for _ in range(n):
            p = max(0.01, p + rng.choice([-0.02, -0.01, 0, 0, 0.01, 0.02, 0.03]))
            prices.append(round(p, 2))
        flows = [(rng.randint(-10**9, 10**9), rng.randint(-10**9, 10**9), rng.randint(-10**6, 10**6))
                 for _ in range(r)]
        return prices, flows, head

    cases.append(("minute_242",) + day(242, 242, 8800000000))
    cases.append(("minute_1024",) + day(1024, 1000, 3300000))
    cases.append(("minute_short",) + day(5, 3, 1000000))
    flat = [12.5] * 60
    cases.append(("minute_flat", flat, [(5, 6, 7)] * 10, 0))
    return cases


def MinuteSeries(prices, flows, head):
    P = [f32(x) for x in prices]
    p = len(P)
    out = {}
    ddx, cum = [0.0] * 1024, [0.0] * 1024
    if head != 0:
        for i, f in enumerate(flows):
            v = f[2] * 100.0 / head
            ddx[i] = v
            cum[i] = v if i == 0 else v + cum[i - 1]
    bbd = [0] * 1024
    for i, f in enumerate(flows):
        bbd[i] = f[0] + f[1]
    out.update(DDX=ddx[:p], DDXSUM=cum[:p], BBD=bbd[:p])
    case = KCase("m", [Bar(x, x, x, x, 0, 0) for x in P], 0, [], 0, [])
    k = KLineSeries(case)
    for name in ("DIF", "DEA", "MACD", "SEMA", "LEMA", "K", "D", "J", "RSI1", "RSI2", "RSI3", "WR1", "WR2",
                 "BIAS1", "BIAS2", "BIAS3", "PSY"):
        out[name] = k[name]
    return out


# ------------------------------------------------------------ writing

def Fmt(v):
    """Series values with 12 significant digits (the tests compare to 1e-9)."""
    return str(v) if isinstance(v, int) else "%.12g" % v


def FmtPrice(v):
    """A single-precision input price: 9 digits read back to the same float."""
    return "%.9g" % v


def WriteK(case):
    series = KLineSeries(case)
    names = list(series.keys())
    end = len(case.bars)
    path = os.path.join(OUT, case.name + ".csv")
    with open(path, "w") as f:
        f.write("# made by marketdata/tests/tools/indicator_golden.py; do not edit\n")
        f.write("meta,%d,%d,%d,%d,%d\n" % (end, case.first, len(case.l2), case.share_base, len(case.sup)))
        if case.store_inputs:
            for i, b in enumerate(case.bars):
                f.write("bar,%d,%s,%s,%s,%s,%d,%d\n" % (i, FmtPrice(b.o), FmtPrice(b.h), FmtPrice(b.l), FmtPrice(b.c),
                                                       b.amount, b.volume))
            for k, r in enumerate(case.l2):
                f.write("l2,%d,%s\n" % (k, ",".join(map(str, r))))
            for k, c in enumerate(case.sup):
                f.write("sup,%d,%d\n" % (k, c))
        f.write("cols,%s\n" % ",".join(names))
        for i in (case.rows if case.rows is not None else range(end)):
            f.write("row,%d,%s\n" % (i, ",".join(Fmt(series[n][i]) for n in names)))
        for t in ZigZag([b.c for b in case.bars]):
            f.write("turn,%s,%d,%d\n" % (FmtPrice(t[0]), t[1], t[2]))


def WriteMinute(name, prices, flows, head):
    series = MinuteSeries(prices, flows, head)
    names = list(series.keys())
    path = os.path.join(OUT, name + ".csv")
    with open(path, "w") as f:
        f.write("# made by marketdata/tests/tools/indicator_golden.py; do not edit\n")
        f.write("meta,%d,%d,%d\n" % (len(prices), len(flows), head))
        for i, x in enumerate(prices):
            f.write("price,%d,%s\n" % (i, FmtPrice(f32(x))))
        for i, fl in enumerate(flows):
            f.write("flow,%d,%d,%d,%d\n" % (i, fl[0], fl[1], fl[2]))
        f.write("cols,%s\n" % ",".join(names))
        n = len(prices)
        rows = range(n) if n <= 300 else [i for i in range(n) if i % 5 == 0 or i < 40 or i >= n - 20]
        for i in rows:
            f.write("row,%d,%s\n" % (i, ",".join(Fmt(series[n][i]) for n in names)))


def main():
    os.makedirs(OUT, exist_ok=True)
    for case in KCases():
        WriteK(case)
    for c in MinuteCases():
        WriteMinute(*c)


if __name__ == "__main__":
    main()
