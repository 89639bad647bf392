"""An independent model of the step-table generators in exact rational arithmetic.

Used to derive the expected files in this folder (see README); it shares no code with the
C++ programs. Every extended-precision step is an exact Fraction rounded to 64
significant bits, ties to even; every stored value is then rounded to double.
"""
from fractions import Fraction
import math


def round_bits(q, bits):
    """q rounded to `bits` significant bits, ties to even (Fraction, infinities kept)."""
    if not isinstance(q, Fraction) or q == 0:
        return q
    sign = -1 if q < 0 else 1
    a = abs(q)
    e = a.numerator.bit_length() - a.denominator.bit_length()
    if Fraction(2) ** e > a:
        e -= 1
    scaled = a / Fraction(2) ** (e - bits + 1)  # in [2^(bits-1), 2^bits)
    return sign * Fraction(round(scaled)) * Fraction(2) ** (e - bits + 1)


def to_double(q):
    if isinstance(q, float):
        return q
    return float(q)  # Fraction to float rounds correctly, ties to even


def ext(x):
    return Fraction(x) if math.isfinite(x) else x


def mul(a, b):
    if isinstance(a, float) or isinstance(b, float):
        return to_double(a) * to_double(b)  # infinities and nan follow IEEE rules
    return round_bits(a * b, 64)


def div(a, b):
    if isinstance(a, float) or isinstance(b, float):
        return to_double(a) / to_double(b)
    if b == 0:
        return math.copysign(math.inf, to_double(a)) if a != 0 else math.nan
    return round_bits(a / b, 64)


def ratio_x(f):
    if f == 0:
        return math.copysign(math.inf, f)
    return to_double(div(ext(16777216.0), ext(f)))


def maximum_delta(r, x):
    if math.isinf(x) and r == 0:
        return math.nan
    return to_double(div(mul(ext(r), ext(x)), ext(15300.0)))


def frequency_step(x, f):
    return to_double(Fraction(x) * f / 256) if math.isfinite(x) else x * f / 256


def number_text(v):
    """16 significant digits, trailing zeros dropped, exponent of three digits."""
    if math.isnan(v):
        return "nan"
    if math.isinf(v):
        return "-inf" if v < 0 else "inf"
    t = "%.16g" % v
    if "e" in t:
        mantissa, exponent = t.split("e")
        t = mantissa + "e" + exponent[0] + exponent[1:].rjust(3, "0")
    return t


def printed(v):
    t = number_text(v)
    return t if t.startswith("-") else " " + t


def primes(limit):
    bound = 1100000 if limit > 5000 else 50000
    sieve = bytearray([1]) * (bound + 1)
    sieve[0] = sieve[1] = 0
    for p in range(2, int(bound ** 0.5) + 1):
        if sieve[p]:
            sieve[p * p::p] = bytearray(len(range(p * p, bound + 1, p)))
    found = [p for p in range(bound + 1) if sieve[p]]
    assert len(found) > limit
    return [0] + found[:limit]


def target(step, delta):
    if not math.isfinite(delta):
        return None
    t = round(Fraction(delta) * step)  # Fraction rounding: ties to even
    return t if -2**31 <= t < 2**31 else None


def nearest(plist, t):
    for j in range(1, len(plist)):
        if plist[j] > t:  # a negative t never passes here: no entry is above it
            up, down = plist[j] - t, t - plist[j - 1]
            return plist[j - 1] if up > down else plist[j]
    return None


def values(plist, delta):
    for step in range(1, 257):
        t = target(step, delta)
        if t is None or t < 0:
            continue
        p = nearest(plist, t)
        if p is not None:
            yield step, p, t
