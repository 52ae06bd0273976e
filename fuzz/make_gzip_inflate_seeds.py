#!/usr/bin/env python3
"""Writes the seed corpus of the gzip_inflate fuzz target into
corpus/gzip_inflate/ (Python standard library only). Each seed starts with
the mode byte the target reads: 0 = a whole gzip body, 1 = raw DEFLATE."""
import gzip
import os
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DIR = os.path.join(HERE, "corpus", "gzip_inflate")

TEXT = (b'{"code":"600000","name":"\xe6\xb5\xa6\xe5\x8f\x91\xe9\x93\xb6\xe8\xa1\x8c",'
        b'"close":12.34,"volume":123456}\n') * 20
RECORDS = b"".join(b"%06d" % i + b"\x01\x00" + b"PFYH" + bytes(27) for i in range(40))


def raw(data, level, strategy=zlib.Z_DEFAULT_STRATEGY):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
    return c.compress(data) + c.flush()


def main():
    os.makedirs(DIR, exist_ok=True)
    seeds = {
        "hello.gz": b"\x00" + gzip.compress(b"hello", mtime=0),
        "text-level9.gz": b"\x00" + gzip.compress(TEXT, 9, mtime=0),
        "records-level0.gz": b"\x00" + gzip.compress(RECORDS[:300], 0, mtime=0),
        "fixed.deflate": b"\x01" + raw(TEXT[:200], 6, zlib.Z_FIXED),
        "dynamic.deflate": b"\x01" + raw(RECORDS, 9),
        "rle.deflate": b"\x01" + raw(b"a" * 600 + b"b" * 300, 6, zlib.Z_RLE),
    }
    # A member with FEXTRA, FNAME, FCOMMENT and FHCRC set.
    plain = gzip.compress(b"flags", mtime=0)
    seeds["flags.gz"] = (b"\x00" + b"\x1f\x8b\x08\x1e" + plain[4:10] + b"\x02\x00xy" + b"n\x00" +
                         b"c\x00" + b"\x00\x00" + plain[10:])
    for name, data in seeds.items():
        with open(os.path.join(DIR, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
