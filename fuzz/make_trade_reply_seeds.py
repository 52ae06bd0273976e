#!/usr/bin/env python3
"""Writes the seed corpus of the trade_reply fuzz target: plain reply texts
(first byte 0: encipher before decoding). Run from the repository root:
    python3 fuzz/make_trade_reply_seeds.py
"""
import os

def header(body_length, more=b"0"):
    h = bytearray(80)
    h[0:7] = b"SLUTF8\0"
    h[7:10] = b"13\0"
    h[10:12] = b"C\0"
    h[12:14] = b"R\0"
    h[14:16] = more + b"\0"
    h[16:23] = b"000000\0"
    h[23:34] = b"00000000000"
    h[48:50] = b"05"
    h[51:56] = b"0001\0"
    h[75:80] = b"%04d\0" % body_length
    return bytes(h)

def reply(records, more=b"0"):
    body = b"".join(b"".join(f.encode() + b"\0" for f in r) + b"\x01" for r in records)
    return header(len(body), more) + body

seeds = {
    "ok": reply([["0000", "OK"]]),
    "login": reply([["0000", "OK"], ["客户姓名", "沪A", "弹出公告"], ["王", "A1", "x"]]),
    "banks": reply([["0000", "OK"], ["银行代码", "银行名称", "转入密码"], ["01", "甲", "1"], ["02", "乙", "3"]], b"1"),
    "one_field": reply([["0000"]]),
}
folder = os.path.join("fuzz", "corpus", "trade_reply")
os.makedirs(folder, exist_ok=True)
for name, plain in seeds.items():
    with open(os.path.join(folder, name), "wb") as f:
        f.write(b"\x02" + plain)  # even first byte: taken as plain text, page 1
