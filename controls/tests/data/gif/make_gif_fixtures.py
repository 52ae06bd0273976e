#!/usr/bin/env python3
"""Writes the GIF files that the decoder tests compare with Qt's GIF reader.

Standard library only; the output is fixed (a seeded generator), so running
it again rewrites the same bytes. Run from anywhere:
    python3 controls/tests/data/gif/make_gif_fixtures.py
"""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def lzw(indexes, min_code_size):
    """LZW-encodes palette indexes into the packed GIF code stream."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    acc = 0
    nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    width = min_code_size + 1
    table = {}
    next_code = clear + 2
    emit(clear, width)
    prefix = None
    for value in indexes:
        if prefix is None:
            prefix = value
            continue
        key = (prefix, value)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix, width)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            # The reader adds its entry one code later, so the width grows
            # once the code just assigned no longer fits.
            if next_code - 1 == (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table = {}
            next_code = clear + 2
            width = min_code_size + 1
        prefix = value
    if prefix is not None:
        emit(prefix, width)
    emit(end, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def sub_blocks(data, size=255):
    out = bytearray()
    for at in range(0, len(data), size):
        chunk = data[at:at + size]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def table_bits(colours):
    bits = 0
    while (2 << bits) < len(colours):
        bits += 1
    return bits


def colour_table(colours):
    size = 2 << table_bits(colours)
    out = bytearray()
    for k in range(size):
        r, g, b = colours[k] if k < len(colours) else (0, 0, 0)
        out += bytes((r, g, b))
    return bytes(out)


def min_code_size(colours):
    m = 2
    while (1 << m) < len(colours):
        m += 1
    return m


def header(width, height, global_colours, version=b"89a"):
    packed = 0x70
    if global_colours:
        packed |= 0x80 | table_bits(global_colours)
    out = b"GIF" + version + struct.pack("<HHBBB", width, height, packed, 0, 0)
    if global_colours:
        out += colour_table(global_colours)
    return out


def control(delay, transparent_index=None, disposal=1):
    packed = (disposal << 2) | (1 if transparent_index is not None else 0)
    return b"\x21\xF9\x04" + struct.pack("<BHB", packed, delay, transparent_index or 0) + b"\x00"


def interlace(rows):
    order = []
    for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)):
        order += list(range(start, len(rows), step))
    return [rows[r] for r in order]


def image(left, top, rows, colours, local_colours=None, interlaced=False):
    width, height = len(rows[0]), len(rows)
    packed = 0x40 if interlaced else 0
    if local_colours:
        packed |= 0x80 | table_bits(local_colours)
    out = b"\x2C" + struct.pack("<HHHHB", left, top, width, height, packed)
    if local_colours:
        out += colour_table(local_colours)
    stored = interlace(rows) if interlaced else rows
    m = min_code_size(local_colours or colours)
    indexes = [v for row in stored for v in row]
    return out + bytes((m,)) + sub_blocks(lzw(indexes, m))


def comment(text):
    return b"\x21\xFE" + sub_blocks(text)


def looping():
    return b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"


def grey_ramp(count):
    return [(k * 255 // (count - 1),) * 3 for k in range(count)]


def rainbow(count, rnd):
    return [(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)) for _ in range(count)]


def animated(rnd):
    """Full-screen frames, global table of 256, two with local tables, varied delays."""
    w, h = 64, 48
    colours = rainbow(256, rnd)
    out = header(w, h, colours) + looping()
    for f, delay in enumerate((5, 10, 20, 0, 7, 10)):
        local = rainbow(64, rnd) if f in (1, 4) else None
        rows = [[(x * 3 + y * 5 + f * 17) % (64 if local else 256) for x in range(w)] for y in range(h)]
        out += control(delay) + image(0, 0, rows, colours, local)
    return out + b"\x3B"


def interlaced(rnd):
    """One interlaced frame with only a local table; odd size."""
    w, h = 37, 29
    colours = rainbow(16, rnd)
    rows = [[(x // 3 + y) % 16 for x in range(w)] for y in range(h)]
    return header(w, h, None) + image(0, 0, rows, None, colours, interlaced=True) + b"\x3B"


def transparent_subframes(rnd):
    """A full first frame, then smaller frames with transparency drawn over it.

    The smaller frames use the global table: the block composes indexes, so
    a local table would colour the pixels below differently from Qt."""
    w, h = 50, 40
    colours = rainbow(32, rnd)
    out = header(w, h, colours) + comment(b"fixture")
    rows = [[(x + y) % 32 for x in range(w)] for y in range(h)]
    out += control(10) + image(0, 0, rows, colours)
    for f in range(4):
        sw, sh = 11 + f * 3, 7 + f * 2
        # index 0 is transparent: a checker of holes shows the frame below
        sub = [[0 if (x + y) % 3 == 0 else 1 + (x * y + f) % 15 for x in range(sw)] for y in range(sh)]
        out += control(4 + f, transparent_index=0) + image(3 + f * 7, 2 + f * 8, sub, colours)
    return out + b"\x3B"


def version_87a(rnd):
    """GIF87a: no extensions, two colours."""
    w, h = 19, 13
    colours = [(255, 255, 255), (0, 0, 160)]
    rows = [[1 if (x * x + y * y) % 7 < 3 else 0 for x in range(w)] for y in range(h)]
    return header(w, h, colours, b"87a") + image(0, 0, rows, colours) + b"\x3B"


def noise(rnd):
    """Random pixels of 256 colours: the code table fills and clears many times."""
    w, h = 200, 150
    colours = grey_ramp(256)
    rows = [[rnd.randrange(256) for _ in range(w)] for _ in range(h)]
    rows2 = [[v ^ 0x55 for v in row] for row in rows]
    out = header(w, h, colours) + comment(b"noise " * 60)
    out += control(3) + image(0, 0, rows, colours) + control(3) + image(0, 0, rows2, colours, interlaced=True)
    return out + b"\x3B"


FIXTURES = {
    "animated.gif": animated,
    "interlaced.gif": interlaced,
    "transparent_subframes.gif": transparent_subframes,
    "version87a.gif": version_87a,
    "noise.gif": noise,
}


def main():
    for name, make in FIXTURES.items():
        data = make(random.Random(name))
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
