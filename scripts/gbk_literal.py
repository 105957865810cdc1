#!/usr/bin/env python3
"""Prints C++ string literals holding the GBK bytes of each argument, with the text in a
comment: the way GBK texts are written in our sources (which are UTF-8)."""
import sys

HEX = set("0123456789abcdefABCDEF")

def literal(text: str) -> str:
    out, prev_hex = [], False
    for ch in text:
        b = ch.encode("gbk")
        if len(b) == 1 and b[0] < 0x80:
            c = ch
            if c in '"\\':
                c = "\\" + c
            if prev_hex and ch in HEX:
                out.append('" "')
            out.append(c)
            prev_hex = False
        else:
            out.append("".join("\\x%02X" % x for x in b))
            prev_hex = True
    return '"' + "".join(out) + '"'

for arg in sys.argv[1:]:
    print(f"{literal(arg)}  /* {arg} */")
