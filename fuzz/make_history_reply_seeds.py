#!/usr/bin/env python3
"""Writes the seed corpus of the history_reply fuzz target into
corpus/history_reply/: first byte 0 = a history reply packet, 1 = a
dictionary reply body."""
import gzip, os, struct

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "corpus", "history_reply")
os.makedirs(out, exist_ok=True)


def varint(x):
    # Smallest number of 7-bit groups holding x in two's complement; the last
    # byte carries the top bit.
    g = 1
    while not (-(1 << (7 * g - 1)) <= x < (1 << (7 * g - 1))):
        g += 1
    u = x & ((1 << (7 * g)) - 1)
    groups = [(u >> (7 * i)) & 0x7F for i in reversed(range(g))]
    groups[-1] |= 0x80
    return bytes(groups)


def packet(type_, body, gz=False):
    inner = bytes([0, type_]) + struct.pack(">H", 100) + body
    return bytes([10]) + (gzip.compress(inner) if gz else inner)


key = b"600000" + "浦发银行".encode().ljust(24, b"\0") + bytes([2, 1, 2])
bar1 = b"".join(varint(v) for v in [1000, 705, 710, 700, 705, 123456, 1000, 0, 0])
bar2 = b"".join(varint(v) for v in [1, -5, 0, -3, -5, 100, 10, 0, 0])
stock = bytes([2]) + struct.pack(">iqi", 0, 0, 1) + key + struct.pack(">i", 2) + bar1 + bar2
seeds = {
    "summary": b"\0" + packet(8, bytes([1]) + struct.pack(">qi", 0, 50)),
    "stock": b"\0" + packet(8, stock),
    "stock_gzip": b"\0" + packet(8, stock, True),
    "end": b"\0" + packet(8, bytes([2, 0xFF, 0xFF, 0xFF, 0xFF])),
    "list": b"\0" + packet(2, bytes([2]) + struct.pack(">ii", 0, 1) + key + struct.pack(">i", 1) + bar1),
    "dictionary": b"\1" + struct.pack(">H", 2) + b"V1" + struct.pack(">H", 1) + bytes([1, 1, 2]) + b"600000"
    + "浦发银行".encode().ljust(24, b"\0") + b"PFYH\0\0",
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
