#!/usr/bin/env python3
"""Writes the seed frames of the quote_dispatch fuzz target: plain and gzip
replies for the target's standing requests (sequences 1001 and 1002) and a
market-information reply, each as one whole frame."""
import gzip, os, struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "quote_dispatch")

def header(mode, rtype, seq):
    return bytes([mode, 0, 0, 5, rtype, 1]) + struct.pack(">H", seq)

def frame(packet):
    return struct.pack(">I", len(packet)) + b"\x01" + packet

fields = header(1, 33, 1001) + struct.pack(">H", 2) + struct.pack(">HH", 1, 8) + b"600000\x01" + struct.pack(">i", 70300)
seeds = {
    "fields_plain": frame(b"\x02" + fields),
    "fields_gzip": frame(b"\x02" + gzip.compress(fields, mtime=0)),
    "market_info": frame(b"\x02" + header(1, 3, 0) + bytes([2, 1]) + struct.pack(">i", 20240315) + bytes([1, 2]) + struct.pack(">i", 20240318) + bytes([1])),
    "news": frame(b"\x33" + header(1, 2, 1002) + b"600000\x01" + struct.pack(">I", 2) + b"{}"),
    "unknown_type": frame(b"\x02" + header(1, 200, 1001) + b"body"),
}
os.makedirs(here, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
