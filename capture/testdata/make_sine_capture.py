#!/usr/bin/env python3
"""Writes sine.bin, a USART capture as the PWM firmware sends it, and sine.Txt, the
spreadsheet text that capsheet must make of it, computed here from the values themselves.

The firmware sends each value as two bytes, low byte first, then ";", and a CR LF after
every eighth value. Both bytes count as signed, so a value is split into a signed low
byte (-128 to 127) and the high byte that makes up the rest. The bytes 0x0A and 0x3B cannot be carried as data, so a value that
would contain one is moved up by one. One line feed without its carriage return is put
after the thirty-seventh value, as a dropped CR on the serial line would leave it."""
import math
from pathlib import Path



def split(value):
    low = (value + 128) % 256 - 128
    high = (value - low) // 256
    return bytes([low & 0xFF, high & 0xFF])


here = Path(__file__).resolve().parent
stream = bytearray()
sheet = bytearray()
for k in range(48):
    value = round(1000 * math.sin(2 * math.pi * k / 32))
    while any(b in (0x0A, 0x3B) for b in split(value)):
        value += 1
    stream += split(value) + b";"
    sheet += (f" {value};" if value >= 0 else f"{value};").encode() + b"\r\n"
    if k % 8 == 7:
        stream += b"\r\n"
    if k == 36:
        stream += b"\n"
(here / "sine.bin").write_bytes(stream)
(here / "sine.Txt").write_bytes(sheet)
