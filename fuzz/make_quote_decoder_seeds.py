#!/usr/bin/env python3
"""Writes the seed inputs of the quote decoders' fuzz targets: byte 0 picks
the decoder (see each *_fuzz.cpp), the rest is a well-formed reply body."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def key(code, name, market):
    n = name.encode()[:24]
    return code.encode() + n + b"\0" * (24 - len(n)) + bytes([2, market, 2])


def ids(lst):
    return struct.pack(">H", len(lst)) + b"".join(struct.pack(">H", i) for i in lst)


def price(v):
    return struct.pack(">i", round(v * 10000))


def rec(code, market, p, vol):
    return key(code, "浦发银行", market) + price(p) + struct.pack(">q", vol)


def listcode(code, market):
    return code.encode() + bytes([market])


def write(target, name, data):
    d = os.path.join(here, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


stocks = [("600000", 1, 7.03, 100), ("000001", 2, 10.55, 200), ("600519", 1, 1712.2, 300)]
list_body = ids([0, 8, 9]) + struct.pack(">H", 3) + b"".join(rec(*s) for s in stocks)
update_body = ids([1, 8]) + struct.pack(">H", 2) + listcode("000001", 2) + price(10.6) + listcode("600000", 2) + price(1)
write("quote_lists", "list_complete", bytes([0]) + list_body)
write("quote_lists", "list_update", bytes([1]) + update_body)
write("quote_lists", "fields", bytes([2]) + ids([0, 8, 9, 24, 25, 800, 2010, 357]) + rec("600000", 1, 7.03, 5)
      + price(7.04) + price(7.02) + struct.pack(">i", 1234) + b"\xff\xff" + b"x" * 24)
entries = b""
for box in range(9):
    kind = box + 1
    entries += key("600000", "浦发银行", 1) + price(7.1) + price(7.0) + bytes([kind])
    entries += struct.pack(">q", 99999) if kind == 9 else b"\0\0\0\0" + struct.pack(">i", 143)
write("quote_lists", "ranking", bytes([4]) + struct.pack(">qb", 5, 1) + entries)

full40 = struct.pack(">qi", 0x100000002, 5000) + list_body
write("sorted_lists", "sorted_full", bytes([0]) + full40)
write("sorted_lists", "category_full", bytes([1]) + struct.pack(">H", 1011) + list_body)
compact = ids([1]) + struct.pack(">H", 10) + b"".join(listcode("6000%02d" % i, 1) for i in range(10))
write("sorted_lists", "sorted_compact", bytes([2]) + struct.pack(">qi", 7, 0) + compact)
write("sorted_lists", "category_compact", bytes([3]) + struct.pack(">H", 3) + compact)
write("sorted_lists", "table_complete", bytes([4]) + list_body)
write("sorted_lists", "table_update", bytes([5]) + update_body)

news = ('{"total":3,"data":[{"pubTime":"2024-03-15 09:30:00","title":"\\u516c\\u544a","url":"http://127.0.0.1/n/1",'
        '"index":1,"longTime":"202403150930"},{"title":"b","index":"2"}]}').encode()
write("json_replies", "news_complete", bytes([0]) + b"600000\x01" + struct.pack(">I", len(news)) + news)
write("json_replies", "news_update", bytes([1]) + b"600000\x01" + struct.pack(">I", len(news)) + news)
pool = ('{"result":{"code":1,"msg":""},"title":"强势股池","totalrow":2,"head":[{"id":-5,"sort":1,"tag":"code",'
        '"display":1,"label":"代码","type":"string"}],"body":[["600000","7.03"],["000001",10.5]]}').encode()
write("json_replies", "pool", bytes([2]) + struct.pack(">I", len(pool)) + pool)
fail = '{"result":{"code":0,"msg":"无数据"}}'.encode()
write("json_replies", "pool_failed", bytes([2]) + struct.pack(">I", len(fail)) + fail)
