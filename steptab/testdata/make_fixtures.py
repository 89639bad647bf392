"""Writes the expected console texts and include files of the end-to-end tests.

Run from this folder: python3 make_fixtures.py. The model (model.py) follows the
description of the generators step by step; the printed texts are what the programs must
show with standard input not a terminal (no prompts are shown then).
"""
import math
import model

CR_LF = "\r\n"


def zone_pad(column):
    return " " * (14 - column % 14)


def run(tool, f, r):
    """Console text and {file name: bytes} of one run with answers f and r."""
    limit = 5000 if tool == "steptab2" else 80000
    plist = model.primes(limit)
    x = model.ratio_x(f)
    max_delta = model.maximum_delta(r, x)
    delta = max_delta / 256 if not math.isnan(max_delta) else max_delta

    console = model.printed(x) + zone_pad(len(model.printed(x))) + model.printed(f) + CR_LF
    console += model.printed(max_delta) + zone_pad(len(model.printed(max_delta)))
    console += model.printed(delta) + CR_LF
    console += " %d" % (limit + 1) + CR_LF

    table = "; MAX Delta=%s, Delta Step=%s, MAX RPM=%s, Interrupt Frequency=%s" % (
        model.printed(max_delta), model.printed(delta), model.printed(r), model.printed(f)) + CR_LF
    for step, p, t in model.values(plist, delta):
        table += "\tdb low(d'%d'), high(d'%d');%d=%d" % (p, p, step, p) + CR_LF
    table += ";Simple256:;; Tab Simple first 0-255" + CR_LF
    for i in range(1, 257):
        table += ";\tdb low(d'%d'); %d=%d" % (plist[i], i, plist[i]) + CR_LF

    files = {}
    if tool == "steptab2":
        files["s2.inc"] = table
        closing = "c:\\s2.inc"
    else:
        files["s3.inc"] = table
        for freq in (100, 200, 400, 800):
            step_delta = model.frequency_step(x, freq)
            text = "; Delta Step=%s, MAX Freq= %d" % (model.printed(step_delta), freq) + CR_LF
            for step, p, t in model.values(plist, step_delta):
                text += "\tdb low(d'%d'), high(d'%d'), upper(d'%d');%d=%d;%d" % (
                    p, p, p, step, p, t - p) + CR_LF
            files["S_%d.inc" % freq] = text
        closing = "c:\\S_800.inc"
    console += "Output data in " + closing
    return console, files


def save(name, text):
    with open(name, "wb") as out:
        out.write(text.encode("latin-1"))


CASES = [
    # prefix, tool, F, R
    ("worked2", "steptab2", 10000.0, 3000.0),
    ("worked3", "steptab3", 10000.0, 3000.0),
    ("rpm0", "steptab2", 10000.0, 0.0),
    ("freq0", "steptab3", 0.0, 3000.0),
    ("both0", "steptab2", 0.0, 0.0),
    ("fraction", "steptab2", 3333.3, 3000.0),
    ("fast2", "steptab2", 10000.0, 500000.0),
    ("fast3", "steptab3", 10000.0, 500000.0),
]

if __name__ == "__main__":
    for prefix, tool, f, r in CASES:
        console, files = run(tool, f, r)
        save(prefix + ".console", console)
        for name, text in files.items():
            save(prefix + "." + name, text)
