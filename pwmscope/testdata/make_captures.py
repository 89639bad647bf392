#!/usr/bin/env python3
"""Writes the text captures of the pwmscope tests (python3 make_captures.py)."""

import math


def hex4(value):
    """Four upper-case hex digits as the firmware prints them; negative values of the
    signed fields as F000 to FFFF (-4096 to -1) only, so the table stays within that."""
    return "%04X" % (value & 0xFFFF)


def sine_line(row, period, amplitude):
    x = 2 * math.pi * (row % period) / period
    table = round(1600 * math.sin(x))
    sin3g = round(85 * (math.sin(x) + math.sin(3 * x) / 6))
    amplify = round(11400 * math.sin(x) * amplitude / 2048)
    limited = max(-8000, min(8000, round(10240 * math.sin(x) * amplitude / 2048)))
    duty = round(1384 * math.sin(x) * amplitude / 2048)
    # The sine table is signed: keep negative values within F000..FFFF.
    table_text = hex4(table) if table >= 0 else "F" + hex4(table)[1:]
    sin3g_text = hex4(sin3g) if sin3g >= 0 else "F" + hex4(sin3g)[1:]
    return "#%s~%s=%s*%s+%s$%s" % (hex4(row), sin3g_text, table_text,
                                   hex4(32639 + amplify), hex4(26086 + limited),
                                   hex4(4075 + duty))


def write(name, lines):
    with open(name, "wb") as out:
        out.write("".join(line + "\r\n" for line in lines).encode("ascii"))


def main():
    # Three sine periods of 200 rows at half amplitude, then two at three quarters; the
    # zero of the table restarts the sweep at every period.
    lines = ["%0800@0800&0000"]
    lines += [sine_line(row, 200, 2048) for row in range(600)]
    lines += ["%0C00@0C00"]
    lines += [sine_line(row, 200, 3072) for row in range(600, 1000)]
    write("sine.txt", lines)
    # A short one for stepping through in the window.
    lines = ["%0800@0800"] + [sine_line(row, 40, 2048) for row in range(1, 30)]
    write("short.txt", lines)


if __name__ == "__main__":
    main()
