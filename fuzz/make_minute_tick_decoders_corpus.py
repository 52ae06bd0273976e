#!/usr/bin/env python3
"""Writes the seeds of the minute_tick_decoders fuzz target: selector byte,
mode byte, capacity byte, then a small well-formed reply body per decoder."""
import os, struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "minute_tick_decoders")

def key(code=b"600000", decimals=2, kind=2):
    return code + b"\0" * 24 + bytes([decimals, 1, kind])

def varint(x):
    groups = 1
    while not (-(1 << (7 * groups - 1)) <= x < (1 << (7 * groups - 1))):
        groups += 1
    x &= (1 << (7 * groups)) - 1
    out = [(x >> (7 * i)) & 0x7F for i in reversed(range(groups))]
    out[-1] |= 0x80
    return bytes(out)

def seed(selector, mode, capacity, body):
    return bytes([selector, mode, capacity]) + body

points = varint(1000) + varint(5000) + varint(500) + varint(100000) + varint(10) + varint(-5)
minute = key() + struct.pack(">i", 1000) + struct.pack(">qqhh", 1, 2, 0, 2) + bytes([4, 1, 2, 3, 4]) + points * 2
tick = struct.pack(">iqiiB", 100000, 500, 93000, 1, 66)
ticks = key() + struct.pack(">iih", 100000, 2, 2) + tick * 2
futures = key() + struct.pack(">iih", 100000, 1, 1) + bytes([9, 0, 1, 2, 3, 4, 5, 6, 7, 8]) + \
    struct.pack(">iqiiBiiB", 100000, 5, 93000, 1, 83, 2, 1, 3)
stats = key() + struct.pack(">iqH", 100000, 300, 2) + struct.pack(">iqq", 100000, 200, 100) + struct.pack(">iqq", 100100, 100, 0)
catalog = b"600000\x01\x02" + struct.pack(">iiH", 1, 2, 4) + b"abcd" + struct.pack(">iiH", 3, 4, 0)
item = b"600000\x01\x01" + struct.pack(">H", 2) + b"ab" + struct.pack(">iiI", 1, 2, 3) + b"xyz"
alert = key() + bytes([1]) + struct.pack(">i", 93000) + b"10.00".ljust(16, b"\0")
alerts = bytes([2]) + b"\x01\x02" + struct.pack(">h", 2) + alert * 2
query = key() + bytes([0]) + struct.pack(">h", 2) + (bytes([3]) + struct.pack(">i", 93100) + b"500".ljust(16, b"\0")) * 2
info = b"600000\x01\x00" + struct.pack(">qH", 7, 1) + b"<stockinfo><title>t</title><url>u</url><date>d</date></stockinfo>"
flow = key() + struct.pack(">q", 9) + bytes([2, 112, 117]) + struct.pack(">HH", 0, 2) + bytes([0, 0, 5, 0, 0, 6]) * 2
seeds = {
    "minute48": seed(0, 1, 10, minute),
    "flow93": seed(3, 1, 0, flow),
    "ticks38": seed(4, 1, 10, ticks),
    "futures67": seed(6, 1, 10, futures),
    "stats60": seed(7, 1, 0, stats),
    "catalog70": seed(11, 1, 0, catalog),
    "item71": seed(12, 1, 0, item),
    "alerts62": seed(13, 1, 0, alerts),
    "query61": seed(14, 1, 4, query),
    "info44": seed(15, 1, 0, info),
}
os.makedirs(here, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
