#!/usr/bin/env python3
"""Writes tests/core/data/decimal_oracle.txt: Decimal cases with results from Python's decimal module.

The context matches pellam::Decimal: 38 significant digits, half-even, no step finer than
10^-128 (Etiny = Emin - prec + 1 = -128) and magnitudes below 10^165 (Emax = 164).

Line formats (fields separated by one space, results in plain text: optional '-',
digits, a point only before a fraction, no trailing zeros, no exponent):
  add|sub|mul|div A B RESULT        RESULT may be "overflow" or "divzero"
  cmp A B -1|0|1
  round A DIGITS MODE RESULT        MODE: half_even half_up down up floor ceiling; RESULT may be "overflow"
  parse LEXEME RESULT               RESULT may be "invalid"
  fromdouble BITS RESULT            BITS: the IEEE 754 bits as 16 hex digits; RESULT may be "invalid"
  todouble A BITS

Run: python3 tests/core/decimal_oracle.py > tests/core/data/decimal_oracle.txt
The seed is fixed, so the output is the same on every run.
"""
import decimal
import random
import struct
import sys
from decimal import Decimal

SEED = 20260422
PREC = 38
MIN_EXPONENT = -128
MAX_ADJUSTED = 164

CONTEXT = decimal.Context(
    prec=PREC,
    rounding=decimal.ROUND_HALF_EVEN,
    Emax=MAX_ADJUSTED,
    Emin=MIN_EXPONENT + PREC - 1,
    clamp=0,
    traps=[decimal.Overflow, decimal.DivisionByZero, decimal.InvalidOperation],
)
# Text is rounded to 38 digits without a lower step; the caller refuses what does not fit.
PARSE_CONTEXT = decimal.Context(
    prec=PREC, rounding=decimal.ROUND_HALF_EVEN, Emax=10**9, Emin=-(10**9), traps=[]
)
WIDE_CONTEXT = decimal.Context(prec=1000, Emax=10**9, Emin=-(10**9), traps=[decimal.InvalidOperation])

MODES = {
    "half_even": decimal.ROUND_HALF_EVEN,
    "half_up": decimal.ROUND_HALF_UP,
    "down": decimal.ROUND_DOWN,
    "up": decimal.ROUND_UP,
    "floor": decimal.ROUND_FLOOR,
    "ceiling": decimal.ROUND_CEILING,
}


def plain(d):
    """The plain text form of a finite Decimal, independent of its exponent."""
    if d.is_zero():
        return "0"
    sign, digits, exponent = d.as_tuple()
    s = "".join(map(str, digits)).lstrip("0")
    while s.endswith("0"):
        s = s[:-1]
        exponent += 1
    if exponent >= 0:
        body = s + "0" * exponent
    else:
        point = len(s) + exponent
        body = s[:point] + "." + s[point:] if point > 0 else "0." + "0" * (-point) + s
    text = ("-" if sign else "") + body
    # Cross-check against Python's own fixed-point rendering.
    with decimal.localcontext(WIDE_CONTEXT):
        fixed = format(d, "f")
    if "." in fixed:
        fixed = fixed.rstrip("0").rstrip(".")
    assert fixed.lstrip("-") == body, (d, fixed, text)
    return text


def canonical_exponent(d):
    sign, digits, exponent = d.as_tuple()
    s = "".join(map(str, digits))
    return exponent + (len(s) - len(s.rstrip("0")))


def fits(d):
    """Whether a Decimal lies in pellam::Decimal's range."""
    if d.is_zero():
        return True
    return canonical_exponent(d) >= MIN_EXPONENT and d.adjusted() <= MAX_ADJUSTED


def random_coefficient(rng, digits):
    pattern = rng.random()
    if pattern < 0.06:
        return int("9" * digits)
    if pattern < 0.10:
        return 10 ** (digits - 1)
    if pattern < 0.16 and digits > 1:
        return 5 * 10 ** (digits - 2) + rng.randrange(2) * 10 ** (digits - 1)
    value = rng.randrange(10 ** (digits - 1), 10**digits)
    if pattern < 0.30:  # trailing zeros
        zeros = rng.randrange(digits)
        value = value // 10**zeros * 10**zeros or 10 ** (digits - 1)
    return value


def random_decimal(rng, scale=None):
    scale = scale or rng.choices(["money", "mid", "wide", "edge"], [5, 3, 2, 1])[0]
    if rng.random() < 0.04:
        return Decimal((rng.randrange(2), (0,), rng.randrange(-6, 4)))
    if scale == "money":
        digits = rng.choice([1, 1, 2, 3, 4, 5, 6, 7, 8, 10, 12])
        exponent = rng.randrange(-6, 3)
    elif scale == "mid":
        digits = rng.randrange(1, PREC + 1)
        exponent = rng.randrange(-40, 20)
    elif scale == "wide":
        digits = rng.choice([rng.randrange(1, PREC + 1), PREC, PREC, PREC - 1])
        exponent = rng.randrange(-100, 100)
    else:
        digits = rng.randrange(1, PREC + 1)
        exponent = rng.choice([rng.randrange(MIN_EXPONENT, MIN_EXPONENT + 30), MAX_ADJUSTED - digits + 1 - rng.randrange(15)])
    exponent = max(MIN_EXPONENT, min(exponent, MAX_ADJUSTED - digits + 1))
    coefficient = random_coefficient(rng, digits)
    d = Decimal((rng.randrange(2), tuple(int(c) for c in str(coefficient)), exponent))
    assert fits(d)
    return d


def lexeme(rng, d):
    """A JSON number text for d, in one of several spellings."""
    style = rng.random()
    sign, digits, exponent = d.as_tuple()
    coefficient = "".join(map(str, digits))
    minus = "-" if sign else ""
    if style < 0.45:
        text = str(d)  # Python's own form: plain or scientific
    elif style < 0.65 and -60 <= exponent <= 40:
        with decimal.localcontext(WIDE_CONTEXT):  # format() would round to the context's digits
            text = minus + format(abs(d), "f")
    elif style < 0.85:
        text = minus + coefficient + rng.choice(["e", "E"]) + rng.choice(["", "+"] if exponent >= 0 else [""]) + str(exponent)
    else:
        # Point after the first digit, exponent adjusted; sometimes padded with zeros.
        padded = coefficient + "0" * rng.randrange(3) if coefficient != "0" else "0"
        exp = exponent - (len(padded) - len(coefficient)) + len(padded) - 1
        mantissa = padded[0] + ("." + padded[1:] if len(padded) > 1 else "")
        text = minus + mantissa + "e" + str(exp)
    assert Decimal(text) == d, (text, d)
    return text


def operation(rng, name):
    a = random_decimal(rng)
    if rng.random() < 0.25:
        # Operands of similar size, where cancellation and carries happen.
        sign, digits, exponent = a.as_tuple()
        b = random_decimal(rng, "mid")
        b = Decimal((rng.randrange(2), b.as_tuple().digits, max(MIN_EXPONENT, min(exponent + rng.randrange(-3, 4), MAX_ADJUSTED - len(b.as_tuple().digits) + 1))))
        if rng.random() < 0.3:
            b = -a if rng.random() < 0.5 else a
    else:
        b = random_decimal(rng)
    try:
        result = plain(getattr(CONTEXT, {"add": "add", "sub": "subtract", "mul": "multiply", "div": "divide"}[name])(a, b))
    except decimal.Overflow:
        result = "overflow"
    except (decimal.DivisionByZero, decimal.InvalidOperation):
        result = "divzero"
    return f"{name} {lexeme(rng, a)} {lexeme(rng, b)} {result}"


def comparison(rng):
    a = random_decimal(rng)
    r = rng.random()
    if r < 0.2:
        b = a
    elif r < 0.35:
        # The same value spelled with more trailing zeros.
        sign, digits, exponent = a.as_tuple()
        extra = rng.randrange(1, 4)
        b = Decimal((sign, digits + (0,) * extra, exponent - extra)) if exponent - extra >= MIN_EXPONENT - 10 else a
    elif r < 0.6:
        b = a.next_plus(CONTEXT) if rng.random() < 0.5 else a.next_minus(CONTEXT)
        if not fits(b):
            b = a
    else:
        b = random_decimal(rng)
    result = (a > b) - (a < b)
    return f"cmp {lexeme(rng, a)} {lexeme(rng, b)} {result}"


def rounding(rng):
    a = random_decimal(rng, rng.choice(["money", "money", "mid", "wide"]))
    if rng.random() < 0.3:
        # Ties and near-ties at the rounding position.
        digits = rng.randrange(0, 5)
        unit = Decimal((0, (1,), -digits))
        a = Decimal(rng.randrange(-999, 1000)) * unit + unit / 2 + rng.choice([0, 0, unit / 1000, -unit / 1000])
        a = WIDE_CONTEXT.plus(a)
        places = digits
    else:
        places = rng.choice([0, 1, 2, 2, 2, 3, 4, -1, -2, rng.randrange(-170, 140)])
    mode = rng.choice(list(MODES))
    if a.is_zero() or canonical_exponent(a) >= -places:
        expected = a
    else:
        expected = a.quantize(Decimal((0, (1,), -places)), rounding=MODES[mode], context=WIDE_CONTEXT)
    result = "overflow" if not expected.is_zero() and expected.adjusted() > MAX_ADJUSTED else plain(expected)
    return f"round {lexeme(rng, a)} {places} {mode} {result}"


def parse_case(rng):
    r = rng.random()
    digits = rng.randrange(1, 70)
    body = str(rng.randrange(1, 10)) + "".join(str(rng.randrange(10)) for _ in range(digits - 1))
    if r < 0.25 and digits > PREC:
        # An exact tie, or just off a tie, past the 38th digit.
        body = body[:PREC] + "5" + rng.choice(["", "0" * rng.randrange(1, 20), "0" * rng.randrange(20) + "1"])
    elif r < 0.35:
        body = body[:PREC] + "9" * rng.randrange(1, 30)
        body = "9" * PREC + body[PREC:] if rng.random() < 0.5 else body
    point = rng.randrange(0, len(body) + 1)
    integer, fraction = body[:point], body[point:]
    if not integer:
        integer = "0"
        fraction = "0" * rng.randrange(0, 40) + fraction
    if rng.random() < 0.2:
        fraction += "0" * rng.randrange(1, 10)
    text = ("-" if rng.random() < 0.3 else "") + integer + ("." + fraction if fraction else "")
    if rng.random() < 0.5:
        exponent = rng.choice([rng.randrange(-30, 30), rng.randrange(-200, 200), rng.randrange(-135, -120), rng.randrange(120, 170)])
        text += rng.choice(["e", "E"]) + ("+" if exponent >= 0 and rng.random() < 0.3 else "") + str(exponent)
    exact = Decimal(text)
    if exact.is_zero():
        result = "0"
    else:
        rounded = PARSE_CONTEXT.plus(exact)
        result = plain(rounded) if fits(rounded) else "invalid"
    return f"parse {text} {result}"


def double_bits(value):
    return struct.pack(">d", value).hex()


def from_double_case(rng):
    r = rng.random()
    if r < 0.3:
        value = struct.unpack(">d", rng.getrandbits(64).to_bytes(8, "big"))[0]
    elif r < 0.5:
        value = rng.randrange(-10**8, 10**8) / 100  # cents
    elif r < 0.7:
        value = rng.uniform(0, 86400) / 3600  # hours
    elif r < 0.8:
        value = rng.uniform(-1, 1) * 10.0 ** rng.randrange(160, 170)
    elif r < 0.9:
        value = rng.uniform(-1, 1) * 10.0 ** rng.randrange(-140, -120)
    else:
        value = rng.uniform(-1e6, 1e6)
    if value != value or value in (float("inf"), float("-inf")):
        result = "invalid"
    else:
        try:
            result = plain(CONTEXT.plus(Decimal(repr(value))))
        except decimal.Overflow:
            result = "invalid"
    return f"fromdouble {double_bits(value)} {result}"


def to_double_case(rng):
    a = random_decimal(rng)
    value = float(a)
    if value == 0:
        value = 0.0  # the decimal has no signed zero
    return f"todouble {lexeme(rng, a)} {double_bits(value)}"


def main():
    rng = random.Random(SEED)
    lines = []
    for name in ["add", "sub", "mul", "div"]:
        lines += [operation(rng, name) for _ in range(450)]
    lines += [comparison(rng) for _ in range(400)]
    lines += [rounding(rng) for _ in range(500)]
    lines += [parse_case(rng) for _ in range(350)]
    lines += [from_double_case(rng) for _ in range(250)]
    lines += [to_double_case(rng) for _ in range(200)]
    out = sys.stdout
    out.write("# Generated by tests/core/decimal_oracle.py from Python's decimal module; do not edit.\n")
    for line in lines:
        out.write(line + "\n")


if __name__ == "__main__":
    main()
