#!/usr/bin/env python3
"""Writes the seeds of the bar_decoders fuzz target: a selector byte, a
capacity byte and a small reply body of each type (49, 68, 55, 91, 92),
complete and update."""
import os, struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "bar_decoders")

def varint(x):
    groups = 1
    while not (-(1 << (7 * groups - 1)) <= x < (1 << (7 * groups - 1))):
        groups += 1
    out = bytearray()
    for g in range(groups - 1, -1, -1):
        b = (x >> (7 * g)) & 0x7F
        out.append(b | (0x80 if g == 0 else 0))
    return bytes(out)

key = b"600000" + "浦发银行".encode().ljust(24, b"\0") + bytes([2, 1, 2])
ids = bytes([8]) + bytes(range(1, 9))
time0 = (2024 << 20) | (3 << 16) | (15 << 11)
bar0 = b"".join(varint(v) for v in [time0, 1000, 1010, 990, 1005, 500000, 4000, 0])
bar1 = b"".join(varint(v) for v in [1 << 11, 5, 3, 7, -2, 1000, 10, 0])
bars = struct.pack(">H", 2) + bar0 + bar1
group = bytes([1, 5, 3]) + varint(1100) + b"".join(varint(v) for v in [1, 2])
int24 = bytes([0x00, 0x01, 0x00])
seeds = {
    "latest_complete": bytes([0, 25]) + key + bytes([33]) + ids + bars + group,
    "latest_update": bytes([8, 25]) + bytes([33]) + ids + struct.pack(">H", 2) + bytes([1]) + bar0 + bar1,
    "range_complete": bytes([1, 128]) + key + bytes([33, 1]) + ids + bars,
    "range_update": bytes([9, 128]) + bytes([33]) + ids + struct.pack(">H", 1) + bytes([0]) + bar0,
    "ex_rights": bytes([0x22, 0]) + key + struct.pack(">h", 2) + struct.pack(">6i", 20240115, 50, 0, 0, 50, 0) + struct.pack(">6i", 20230615, 20, 800, 30, 0, 0),
    "supplement_a": bytes([3, 128]) + key + bytes([1]) + struct.pack(">q", 1200000000) + bytes(4) + bytes([0, 2, 100, 50]) + struct.pack(">H", 2) + int24 * 4 + bytes([1, 100, 2]) + int24 * 2,
    "supplement_b": bytes([4, 128]) + key + bytes([0, 0, 3, 103, 127, 50]) + struct.pack(">H", 2) + int24 + varint(1000) + int24 + int24 + varint(25) + int24 + bytes([1, 127, 2]) + varint(900) + varint(5),
    "supplement_b_update": bytes([12, 128]) + bytes([0, 2, 127, 109]) + struct.pack(">H", 1) + bytes([1]) + varint(7) + int24,
}
os.makedirs(here, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
