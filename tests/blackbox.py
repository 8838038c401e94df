#!/usr/bin/env python3
"""Runs a built converter on generated stacks and checks its exit status, both
console streams, whether the output file exists, its exact bytes and mode, and
that the input is left byte-identical."""
import argparse, ctypes, functools, math, os, pty, random, re, select, shlex, signal, struct, subprocess, sys, tempfile
import threading, time
from fractions import Fraction

LABELS = "stack_ncols nrows xll yll cellsize nodata_value cnt min max sum average numlevels".split()
USAGE = ("converting stacks in Pelox binary format into stacks in ascii format\n"
         "usage: Kindor <input stack in binary format> <output stack in ascii format>\n")
VERSION = "Ostrel {version}\n"  # the version the build was given
HELP = """Usage: Ostrel [--exact | --digits N] [--buffered] [--check] INPUT OUTPUT
       Ostrel --to-single | --to-double [--check] [--stats] INPUT OUTPUT
       Ostrel --info [--check] INPUT OUTPUT
  --exact      every number in the fewest digits that read back exactly
  --digits N   cells to N significant digits, 1 to 17 (default 6); the
               header as --exact writes it
  --buffered   hand lines over in blocks, not one at a time: faster
  --check      fail (98) unless INPUT holds the cells its header counts
  --to-single  turn the ascii stack INPUT back into a binary stack of
  --to-double  single or double precision, always held to its header's count
  --stats      with --to-*: the header's cnt to average computed from the cells
  --info       report what INPUT holds (binary or ascii), a fact a line
  --help, --version   show this help or the version, and exit

Converts the binary raster stack INPUT (single or double precision, found
from its nodata_value of -9999) into the ascii stack OUTPUT: twelve labelled
header lines, then one line per cell. An INPUT that begins with "ncol" (an
ASCII grid) gives an empty OUTPUT. INPUT and OUTPUT, always the last two
arguments, are files, pipes, or - for standard input and output (or ./-).
Exit status: 0 done; 1 wrong arguments; 99 INPUT cannot be opened or read;
  98  INPUT not recognised, not an ascii stack (--to-*) or not holding the
      cells its header counts (--check, --to-*); OUTPUT is INPUT or unwritable
While a conversion runs, progress shows on standard error if it is a
terminal. Full manual: man Ostrel (on Windows, README.md beside Ostrel.exe).
"""
assert len(HELP.splitlines()) <= 24 and max(map(len, HELP.splitlines())) <= 80
PROGRESS = r"\r\d+ cells written\s*\r"  # no share read: the input's size is unknown
ABSENT = "no output file"  # on a terminal, where None leaves the output unchecked
SHARE = r"\r\d+ cells written, \d{1,2}% read, \d+:[0-5]\d left"  # drawn before the end
def unrecognised(path="in"): return f"could not recognise file format (ascii, single or double) for {path}\n"
def unopened(path="in"): return error("opening input", path)
UNRECOGNISED, SAME = unrecognised(), "output file is the same as input file in\n"
def error(what, path): return f"error {what} file {path}\n"
NOT_OPENED, NOT_WRITTEN = error("opening output", "out"), error("writing output", "out")
NOT_READ = error("reading input", "in")
HEADER = [2, 1, 0.5, 1.5, 1, -9999, 2, 3, 4, 7, 3.5, 1]
UMASK = 0o002  # the runner's, so that the mode of a created output shows any change to 0666
libc = ctypes.CDLL(None)

def printf_g(value, form="%g"):
    text = ctypes.create_string_buffer(64)
    libc.snprintf(text, 64, form.encode(), ctypes.c_double(value))
    return text.value.decode()

def digits_text(digits): return lambda value: printf_g(value, f"%.{digits}g")

def stack(kind, cells=(), header=HEADER, tail=b""):
    return struct.pack("<%d%s" % (12 + len(cells), kind), *header, *cells) + tail

def listing(kind, data, text=printf_g):
    size = struct.calcsize(kind)
    values = struct.unpack("<%d%s" % (len(data) // size, kind), data[:len(data) // size * size])
    return "".join(f"{label}\t{text(v)}\n" for label, v in zip(LABELS, values)) + \
        "".join(text(v) + "\n" for v in values[12:])

def converted(kind, cells, tail=b""): return stack(kind, cells, tail=tail), listing(kind, stack(kind, cells))

def lines_within(text, size): return text[:text.rindex("\n", 0, size) + 1]

def cells_of(kind, texts, argv=None):  # a number-text table, "value -> text"
    head = listing(kind, stack(kind))
    return stack(kind, [float(t) for t, _ in texts]), argv, 0, "", "", head + "".join(x + "\n" for _, x in texts)

def styled(kind, cells, option, text):  # a stack converted with an option, against text(value)
    data = stack(kind, cells)
    return data, option.split() + ["in", "out"], 0, "", "", listing(kind, data, text)

def sparse(prefix): return ("sparse", prefix)  # written, then extended to 3 GiB without using the disk
def zero_cells(count): return ("zeros", stack("d"), count)  # a double stack of count cells, all 0
def busy(count): return ("busy", stack("d"), count)  # the same, converted natively too

S24, S24_TEXT = converted("f", [1.0] * 12)
D2, D2_TEXT = converted("d", [3, 4])
D0_TEXT = listing("d", stack("d"))
BUSY_TEXT = D0_TEXT + "0\n" * 4_000_000
LONG_BUSY_TEXT = D0_TEXT + "0\n" * 16_000_000  # a run of 0.2 s: the signal comes within 0.04 s of its first lines
THIRDS_CELLS = [i / 3 for i in range(3000)]
THIRDS, THIRDS_TEXT = converted("d", THIRDS_CELLS)
QUARTERS, QUARTERS_TEXT = converted("d", [i / 3 for i in range(1988)])  # 16000 bytes
NINTHS, NINTHS_TEXT = converted("f", [i / 9 for i in range(30000)], tail=b"zz")
TENTHS, TENTHS_TEXT = converted("f", [0.1] * 13, b"abc")
SEVENTHS = stack("d", [i / 7 for i in range(200000)])  # 25 blocks; its text fills a pipe 25 times
HALVES, HALVES_TEXT = converted("f", [i * 1.5 for i in range(40000)], b"x")
D_AS_SINGLE = stack("d", [], [2, 1, struct.unpack("<d", bytes(4) + struct.pack("<f", -9999))[0]] + [1] * 9)
S_AS_DOUBLE = S24[:40] + struct.pack("<d", -9999) + S24[48:]
_random = random.Random(27)
def finite(kind, bits):  # seeded values from random bit patterns, NaNs left out
    values = (struct.unpack("<" + kind, _random.getrandbits(bits).to_bytes(bits // 8, "little"))[0] for _ in range(999))
    return [v for v in values if v == v][:300]
MEASURED = [round(_random.uniform(-500, 500), _random.randint(0, 4)) for _ in range(300)] + [-9999] * 20
STYLED = {"d": finite("d", 64) + MEASURED, "f": finite("f", 32) + MEASURED}
DIGITS, COMBINED = "--digits takes a whole number from 1 to 17", "--exact and --digits cannot be combined"
BAD_OPTIONS = {  # the options before "in out", and the one line on standard error before the usage
    **{bad: "unknown option " + bad.split()[0] for bad in ("--exakt", "--help", "-x", "--exakt a")},
    **{f"--digits {n}": f"{DIGITS}, not {n}" for n in ("18", "9x", "-1", "99999999999", "0:")},
    "--digits": DIGITS, "--digits=": DIGITS, "--digits=0": DIGITS + ", not 0", "--exact --exact": "--exact given twice",
    "--check --buffered --check": "--check given twice", "--digits=3 --digits 4": "--digits given twice",
    "--buffered --digits 5 --buffered": "--buffered given twice",
    "--exact --digits 4": COMBINED, "--digits=4 --exact": COMBINED,
    "--to-single --to-single": "--to-single given twice", "--to-double --to-double": "--to-double given twice",
    "--to-double --to-single": "--to-single and --to-double cannot be combined",
    "--to-single --to-double": "--to-single and --to-double cannot be combined",
    **{options: f"{to} and {other} cannot be combined" for options, to, other in (
        ("--to-single --exact", "--to-single", "--exact"), ("--digits=3 --to-double", "--to-double", "--digits"),
        ("--to-double --buffered", "--to-double", "--buffered"))},
    **{options: f"--info and {other} cannot be combined" for options, other in (
        ("--info --exact", "--exact"), ("--digits 3 --info", "--digits"), ("--info --buffered", "--buffered"),
        ("--to-double --info", "--to-double"), ("--info --stats", "--stats"))},
    "--info --check --info": "--info given twice", "--stats --to-single --stats": "--stats given twice",
    "--stats": "--stats recomputes a binary stack's header: it goes with --to-single or --to-double",
    "--to-singles": "unknown option --to-singles", "a": "", "-": "", "'' --exakt": ""}  # usage alone
LONG = [i / 3 + 0.1 for i in range(16500)]  # at 17 digits, a block's text fills the gathered lines before it ends
def counted(ncols, nrows, levels, kind="d", cells=None):  # a stack whose header counts its cells, or holds cells
    cells = range(int(ncols * nrows * levels)) if cells is None else [1] * cells
    return stack(kind, cells, [ncols, nrows] + HEADER[2:11] + [levels])
FULL60, TWO_32, FULL12 = counted(5, 4, 3), "4.294967296e+09", counted(4, 3, 1, "f")
COUNTED_QUARTERS = stack("d", THIRDS_CELLS[:1988], [1988, 1] + HEADER[2:])  # QUARTERS, its header counting its cells
def held(cells, more, header="60 (stack_ncols 5 × nrows 4 × numlevels 3)"):
    more = f" and {more} {'byte' if more == 1 else 'bytes'} more" if more else ""
    return f"in holds {cells} {'cell' if cells == 1 else 'cells'}{more}; its header says {header}\n"
def fault(field, text, why=""): return f"in: its header's {field} is {text}, {why or 'not a whole number'}\n"
def too_many(ncols, nrows, levels):
    counts = f"stack_ncols {ncols} × nrows {nrows} × numlevels {levels}"
    return f"in: its header's {counts} is more cells than 64 bits count\n"
CHECKED = {  # name: kind, stack, the fault --check finds in it as the file "in"
    "cut at 60 %, mid-number": ("d", FULL60[:96 + 36 * 8 + 3], held(36, 3)),
    "a header that counts more": ("d", counted(500, 400, 6, cells=12),
                                  held(12, 0, "1,200,000 (stack_ncols 500 × nrows 400 × numlevels 6)")),
    "cut to 100 bytes": ("d", FULL60[:100], held(0, 4)),
    "every cell and 3 bytes more": ("d", FULL60 + b"abc", held(60, 3)),
    "two stacks run together": ("d", FULL60 + FULL60, held(132, 0)),
    "one cell and one byte": ("d", FULL60[:105], held(1, 1)),
    "nrows 2.5": ("d", counted(4, 2.5, 1, cells=0), fault("nrows", "2.5")),
    "single, nrows 0.1": ("f", counted(4, 0.1, 1, "f", 12), fault("nrows", "0.1")),
    "numlevels -3": ("d", counted(4, 1, -3, cells=0), fault("numlevels", "-3", "not a whole number from 0 up")),
    "stack_ncols NaN": ("d", counted(float("nan"), 1, 1, cells=0), fault("stack_ncols", "nan")),
    "nrows infinite": ("d", counted(1, float("inf"), 1, cells=0), fault("nrows", "inf")),
    "1e10 cubed": ("d", counted(1e10, 1e10, 1e10, cells=0), too_many("1e+10", "1e+10", "1e+10")),
    "2^32 × 2^32": ("d", counted(2 ** 32, 2 ** 32, 1, cells=0), too_many(TWO_32, TWO_32, 1)),
    "2^64 × 1 × 1": ("d", counted(2 ** 64, 1, 1, cells=0), too_many("1.8446744073709552e+19", 1, 1)),
    "2^32 × (2^32 - 1): fits": ("d", counted(2 ** 32, 2 ** 32 - 1, 1, cells=0), held(
        0, 0, f"18,446,744,069,414,584,320 (stack_ncols {TWO_32} × nrows 4.294967295e+09 × numlevels 1)"))}
CHECK_PASSES = {"every cell": ("d", FULL60), "no levels": ("d", counted(5, 4, 0)), "0 rows": ("d", counted(1e30, 0, 1)),
                "-0 levels": ("d", counted(5, 4, -0.0)), "single, 4 × 3": ("f", counted(4, 3, 1, "f"))}
def nodata(kind, value): return stack(kind, [1] * 12, HEADER[:5] + [value] + HEADER[6:])
BACK = {"d": "--to-double", "f": "--to-single"}
def counts(cells): return [cells, 1] + HEADER[2:]  # a header that counts the cells: cells × 1 × 1
def head_of(cells): return listing("d", stack("d", header=counts(cells)))  # its twelve lines
libc.strtof.restype, libc.strtod.restype = ctypes.c_float, ctypes.c_double
def read_back(kind, texts):  # the C library's reading of each text: glibc rounds once, correctly
    read = libc.strtof if kind == "f" else libc.strtod
    return struct.pack(f"<{len(texts)}{kind}", *(read(t.encode(), None) for t in texts))
def texts_back(kind, texts, eol="\n", last_eol="\n"):  # a text stack of the cells' texts, and its binary stack
    text = head_of(len(texts)).replace("\n", eol) + eol.join(texts) + last_eol
    return text.encode(), [BACK[kind], "in", "out"], 0, "", "", stack(kind, header=counts(len(texts))) + read_back(
        kind, texts)
def shortest(kind, value):  # the fewest digits that read back, fixed for exponents -4 to 5: as --exact writes it
    bits = stack(kind, [value])[-struct.calcsize(kind):]
    p = next(p for p in range(1, 18) if read_back(kind, [printf_g(value, f"%.{p}g")]) == bits)
    x = int(printf_g(value, f"%.{p - 1}e").split("e")[1]) if value and math.isfinite(value) else 0
    return printf_g(value, f"%.{max(p - 1 - x, 0)}f" if -4 <= x < 6 else f"%.{p - 1}e")
def text_fault(text, message, kind="d"): return text.encode(), [BACK[kind], "in", "out"], 98, "", message + "\n", None
def cell_fault(texts, message, kind="d"):  # a fault after the header: no output
    text = (D0_TEXT + "".join(t + "\n" for t in texts)).encode()
    return text, [BACK[kind], "in", "out"], 98, "", message + "\n", None
ROUNDED_ONCE = {  # where reading a single as a double first rounds twice; the edges of both ranges
    "f": ["1.00000005960464477550", "7.038531e-26", "1.0000000596046448", "1.00000017881393432617187499",
          "3.4028235677973366e38", "1.4e-45", "7.006e-46", "7.0064923e-46", "1e-46", "-0", "3.0e-39"],
    "d": ["9007199254740993", "2.2250738585072011e-308", "4.9406564584124654e-324", "2.4703282292062328e-324",
          "2.4703282292062327e-324", "1.7976931348623158e308", "1e-400", "-0.0", "0.1", "1e23"]}
SPELLINGS = ["3", "-0.5", "1.5e+06", "2E-3", "+1", ".5", "1.", "00012", "1e0005", "inf", "-INF", "Infinity",
             "1" * 40 + "e-30"]
NANS = {"d": struct.pack("<4Q", *[0x7FF8 << 48, 0xFFF8 << 48] * 2),
        "f": struct.pack("<4I", *[0x7FC00000, 0xFFC00000] * 2)}
LINES = head_of(13) + "1\n" * 13
THIRDS_BACK = texts_back("d", [repr(v) for v in THIRDS_CELLS])
COUNTED = {kind: stack(kind, STYLED[kind], counts(len(STYLED[kind]))) for kind in "df"}
SHORTEST = {kind: texts_back(kind, [shortest(kind, v) for v in STYLED[kind]]) for kind in "df"}
def wanted(line, text, label): return f'line {line} of in is "{text}", not {label}, a TAB and a number'
HEADER_FAULTS = [  # name, what is replaced in LINES, by what, the message, the precision
    ("a space for the TAB", "cnt\t", "cnt ", wanted(7, "cnt 2", "cnt"), "d"),
    ("labels out of order", "xll\t0.5\nyll", "yll\t0.5\nxll", wanted(3, "yll\\t0.5", "xll"), "d"),
    ("no number", "xll\t0.5", "xll\t", wanted(3, "xll\\t", "xll"), "f"),
    ("a number and more", "min\t3", "min\t3 m", wanted(8, "min\\t3 m", "min"), "d"),
    ("an upper-case label", "nrows", "NROWS", wanted(2, "NROWS\\t1", "nrows"), "d"),
    ("a label alone", "sum\t7", "sum", wanted(10, "sum", "sum"), "d"),
    ("nodata_value 0", "-9999", "0", 'nodata_value of in is "0", not -9999', "d"),
    ("nodata_value -9999.5", "-9999", "-9999.5", 'nodata_value of in is "-9999.5", not -9999', "f"),
    ("nodata_value nan", "-9999", "nan", 'nodata_value of in is "nan", not -9999', "f"),
    ("max beyond single", "max\t4", "max\t1e39", 'line 9 of in: "1e39" does not fit single precision', "f"),
    ("max beyond double", "max\t4", "max\t-1e309", 'line 9 of in: "-1e309" does not fit double precision', "d")]
CELL_FAULTS = [  # name, the cells' lines, the message, the precision
    ("a decimal comma", ["1", "12,5"], 'line 14 of in is not a number: "12,5"', "d"),
    ("1e39 in single", ["1", "2", "1e39"], 'line 15 of in: "1e39" does not fit single precision', "f"),
    ("-3.5e38 in single", ["-3.5e38"], 'line 13 of in: "-3.5e38" does not fit single precision', "f"),
    ("1e309 in double", ["1e309"], 'line 13 of in: "1e309" does not fit double precision', "d"),
    ("hexadecimal", ["0x10"], 'line 13 of in is not a number: "0x10"', "d"),
    ("hexadecimal, upper case", ["-0X1p3"], 'line 13 of in is not a number: "-0X1p3"', "f"),
    *[(f"blanks around more than one number: {text}", [text], f'line 13 of in is not a number: "{shown}"', "d")
      for text, shown in (("1.5 2.5", "1.5 2.5"), ("1 .5", "1 .5"), ("- 1.5", "- 1.5"), (" \t ", " \\t "))],
    ("two signs", ["+-1"], 'line 13 of in is not a number: "+-1"', "d"),
    ("a sign alone", ["-"], 'line 13 of in is not a number: "-"', "d"),
    *[(f"not quite a number: {text}", [text], f'line 13 of in is not a number: "{text}"', "d")
      for text in ("1e", "1e+", "-2.5E-", "2e5x", ".", "infin", "infinityx", "nanx", "nan(", "nan(ab", "nan(1.2)",
                   "nan(a-b)", "nan(~)")],
    ("two numbers", ["1\t2"], 'line 13 of in is not a number: "1\\t2"', "d"),
    ("an empty line with more after it", ["1", "", "", "2"], 'line 14 of in is not a number: ""', "d"),
    ("an empty line with more after it, single", ["", "x"], 'line 13 of in is not a number: ""', "f"),
    ("41 bytes and a control byte", ["\x01" + "9" * 40], 'line 13 of in is not a number: "\\x01' + "9" * 39 + '..."',
     "d"),
    ("a quote and a backslash", ['"\\'], 'line 13 of in is not a number: "\\"\\\\"', "d"),
    ("the ends of printable ASCII", ["\x1f ~\x7f"], 'line 13 of in is not a number: "\\x1f ~\\x7f"', "d"),
    ("40 bytes, shown whole", ["x" * 40], f'line 13 of in is not a number: "{"x" * 40}"', "f"),
    ("a line of 64 KiB", ["1" * 65536], "line 13 of in is longer than 65,536 bytes, the longest line read as a "
     'number: "' + "1" * 40 + '..."', "d")]
D2_AS_TEXT = 'line 1 of in is "' + "\\x00" * 7 + "@" + "".join(
    "\\x00" * 6 + end for end in ("\\xf0?", "\\xe0?", "\\xf8?", "\\xf0?"))
T200 = head_of(200) + "1.5\n" * 200  # a text whose header counts its 200 cells
def says(cells, header="200 (stack_ncols 200 × nrows 1 × numlevels 1)", path="in", hint=""):
    return f"{path} holds {cells} {'cell' if cells == 1 else 'cells'}; its header says {header}{hint}\n"
ROUNDED = "; the default text rounds a count of more than six digits: write the text with --exact"
EDITED = {  # name: the text T200 edited, the fault the way back finds in it
    "100 cell lines deleted": (head_of(200) + "1.5\n" * 100, says(100)),
    "50 cell lines added": (T200 + "2\n" * 50, says(250)),
    "cut in its last line": (head_of(200) + "1.5\n" * 150 + "1.", says(151)),
    "nrows 90": (T200.replace("nrows\t1", "nrows\t90"),
                 says(200, "18,000 (stack_ncols 200 × nrows 90 × numlevels 1)")),
    "nrows 100.5": (T200.replace("nrows\t1", "nrows\t100.5"), fault("nrows", "100.5")),
    "numlevels -1": (T200.replace("numlevels\t1", "numlevels\t-1"),
                     fault("numlevels", "-1", "not a whole number from 0 up")),
    "1,5 on line 20": (head_of(200) + "1.5\n" * 7 + "1,5\n" + "1.5\n" * 192, 'line 20 of in is not a number: "1,5"\n'),
    "numlevels 1e6, 3 cells": (head_of(3).replace("numlevels\t1", "numlevels\t1e+06") + "1\n" * 3,
                               says(3, "3,000,000 (stack_ncols 3 × nrows 1 × numlevels 1e+06)", hint=ROUNDED)),
    "nrows 999999, 3 cells": (head_of(3).replace("nrows\t1", "nrows\t999999") + "1\n" * 3,
                              says(3, "2,999,997 (stack_ncols 3 × nrows 999999 × numlevels 1)"))}
NEAR_200 = T200.replace("ncols\t200", "ncols\t200.000001").encode()  # 200 as a single holds it
SEVEN_DIGITS = ("busy", stack("d", header=counts(2_000_001)), 2_000_001)  # by default, its stack_ncols is "2e+06"
def digits_listing(kind, data, n):  # --digits n: the header as --exact writes it, nodata -9999, the cells to n digits
    values = struct.unpack(f"<{len(data) // struct.calcsize(kind)}{kind}", data)
    return "".join(f"{label}\t{shortest(kind, v)}\n" for label, v in zip(LABELS, values)) + "".join(
        ("-9999" if v == -9999 else printf_g(v, f"%.{n}g")) + "\n" for v in values[12:])
WIDE = {kind: stack(kind, MEASURED[:35] + [-9999] * 10, [45, 1, 0.123456789, 123456.789] + HEADER[4:]) for kind in "df"}
ZEROS_TEXT = (head_of(100000) + "0\n" * 100000).encode()  # 100,012 lines: the output's first blocks are written
def rounded(q, kind):  # a Fraction rounded once to the precision, a half to even; an infinity past its range
    digits, least, top = (24, -149, 128) if kind == "f" else (53, -1074, 1024)
    size = abs(q.numerator).bit_length() - q.denominator.bit_length()
    e = max(size - (abs(q) < Fraction(2) ** size) - digits + 1, least) if q else 0
    m = Fraction(round(abs(q) / Fraction(2) ** e)) * Fraction(2) ** e
    return (float(m) if m < 2 ** top else math.inf) * (-1 if q < 0 else 1)
def report(form, head, cells, agree="agree", tail=0, kind="d", exact=None, counted=None):  # --info's, by fractions
    values = [v for v in cells if v == v and v != -9999]
    exact, n = sum(map(Fraction, filter(math.isfinite, values)), Fraction(0)) if exact is None else exact, len(values)
    number = lambda v, k=kind: shortest(k, v) if n else "none"
    infinite = {v for v in values if math.isinf(v)}  # cells of both infinities give a NaN sum, of one that infinity
    total, mean = (math.nan if len(infinite) == 2 else min(infinite),) * 2 if infinite else (
        rounded(exact, "d"), rounded(exact / max(n, 1), "d"))
    facts = [("format", form), *zip(LABELS, map(lambda v: shortest(kind, v), head)), ("cells", len(cells)),
             ("header_cells", counted or int(head[0] * head[1] * head[11])), *[("trailing_bytes", tail)][:bool(tail)],
             ("nodata_cells", cells.count(-9999)), ("nan_cells", len(cells) - n - cells.count(-9999)),
             ("cells_cnt", n), ("cells_min", number(min(values, default=0))),
             ("cells_max", number(max(values, default=0))),
             ("cells_sum", shortest("d", total)), ("cells_average", number(mean, "d")),
             ("statistics", agree)]
    return "".join(f"{name}\t{value}\n" for name, value in facts)
def as_kind(kind, values):  # the values as the precision holds them
    return list(struct.unpack(f"<{len(values)}{kind}", struct.pack(f"<{len(values)}{kind}", *values)))
def true_header(kind, cells, ncols=None):  # the header --stats writes: the statistics, each rounded once
    values = [v for v in cells if v == v and v != -9999]
    exact, n = sum(map(Fraction, values), Fraction(0)), len(values)
    stats = [rounded(Fraction(n), kind), min(values), max(values), rounded(exact, kind), rounded(exact / n, kind)] \
        if n else [0, -9999, -9999, 0, -9999]
    return [len(cells) if ncols is None else ncols, 1] + HEADER[2:6] + stats + [1]
def running(kind, cells):  # a header as a model that sums one by one in the stack's precision writes it
    values, total = [v for v in cells if v != -9999], 0.0
    for v in values: total = as_kind(kind, [total + v])[0]  # a double sum of two singles rounds once to a single
    n = len(values)
    return [len(cells), 1] + HEADER[2:6] + [n, min(values), max(values), total, as_kind(kind, [total / n])[0], 1]
FLOATS = as_kind("f", [_random.uniform(-1000, 1000) for _ in range(5000)])
STALE = [2.5, 4.5, 6]  # every statistic of HEADER is stale for them
HARD_SUMS = {"1, 2^-53, 2^-110: a running sum says 1": [1, 2 ** -53, 2 ** -110],
             "cancellation": [1e308, 3.0, -1e308, 1e-300, 5e-324, -3.0], "subnormals": [5e-324] * 3 + [2 ** -1070],
             "beyond a double: the sum is inf, the average finite": [1.7e308, 1.7e308, -1e292],
             "below the overflow threshold": [1.7976931348623157e308, -1.7976931348623157e308, 1.79769313486231e308],
             "random bit patterns": STYLED["d"], "a tie, kept even": [1, 2 ** -53],
             "a tie, up to even": [1 + 2 ** -52, 2 ** -53],
             "4,097 cells of the widest significand in one bucket": [2 - 2 ** -52] * 4097}
@functools.lru_cache(None)
def mixed(count=10_000_000):  # cells of mixed magnitude and sign, and their report
    r = random.Random(45)
    cells = [r.choice((-1, 1)) * r.random() * 2.0 ** r.randint(-60, 60) for _ in range(count)]
    residues, parts = list(cells), []
    while not parts or parts[-1]:  # fsum rounds once: what each leaves is summed again, exactly
        parts.append(math.fsum(residues))
        residues.append(-parts[-1])
    head = [count, 1] + HEADER[2:]
    return stack("d", cells, head), report("double", head, cells, "differ: cnt min max sum average",
                                           exact=sum(map(Fraction, parts)))
D2_REPORT = report("double", HEADER, [3, 4])
# a running sum of one cell may be off by gamma(2): 2^-52 for 1 passes, 2^-51 does not
NEAR_ONE = {ulps: [1, 1] + HEADER[2:6] + [1, 1, 1, 1 + ulps * 2 ** -52, 1 + ulps * 2 ** -52, 1] for ulps in (1, 2)}
BEYOND_24 = [97, 257 * 673] + HEADER[2:6] + [1 << 24, 0, 0, 0, 0, 1]  # 2^24 + 1 cells; as a single cnt holds 2^24
STATS_CELLS = {"d": [1.5, -9999, 1e300, -2.25, float("nan")], "f": [1, 2 ** -24, 2 ** -80, -9999, -9999]}
STATS_TEXT = {kind: head_of(5) + "".join(f"{v}\n" for v in cells) for kind, cells in STATS_CELLS.items()}
# group, name, input bytes (None: no file), argv or "FAULT [argv]", status, stdout, stderr, output (None: no file)
CASES = [
    ("usage", "no arguments", None, [], 1, USAGE, "", None),
    ("usage", "one argument", S24, ["in"], 1, USAGE, "", None),
    ("usage", "three arguments", S24, ["in", "out", "x"], 1, USAGE, "", None),
    ("usage", "--version", S24, ["--version"], 0, VERSION, "", None),
    ("usage", "--help", S24, ["--help"], 0, HELP, "", None),
    ("usage", "another single option", S24, ["--verbose"], 1, USAGE, "", None),
    ("usage", "an option's prefix", S24, ["--vers"], 1, USAGE, "", None),
    ("usage", "an option and more", S24, ["--helpme"], 1, USAGE, "", None),
    ("usage", "--version and --help", None, ["--version", "--help"], 99, "", unopened("--version"), None),
    ("usage", "a stack named --version", S24, ["--version", "out"], 0, "", "", S24_TEXT),
    *[("usage", "bad options: " + bad, S24, shlex.split(bad) + ["in", "out"], 1, USAGE,
       message and message + "\n", None) for bad, message in BAD_OPTIONS.items()],
    ("usage", "a stack named --exact", S24, ["--exact", "out"], 0, "", "", S24_TEXT),
    ("usage", "a stack named --digits=10, converted to 10 digits", TENTHS, ["--digits=10", "--digits=10", "out"], 0, "",
     "", listing("f", TENTHS, digits_text(10))),
    ("open", "missing input", None, None, 99, "", unopened(), None),
    ("open", "one-letter paths", S24, ["i", "o"], 0, "", "", S24_TEXT),
    ("open", "empty input path", None, ["", "out"], 99, "", "error opening input file \n", None),
    ("open", "input is a directory", "dir", None, 99, "", unopened(), None),
    ("open", "path with spaces and a dash", None, ["-o my in", "out"], 99, "", unopened("-o my in"), None),
    ("open", "leading dash", None, ["-o", "out"], 99, "", "error opening input file -o\n", None),
    ("open", "path over 4096 bytes", None, ["d" * 5000, "out"], 99, "", unopened("d" * 5000), None),
    ("open", "bytes that are not UTF-8", None, ["\udcff\udcfe\udc80.s", "out"], 99, "",
     "error opening input file \udcff\udcfe\udc80.s\n", None),
    ("open", "non-ASCII paths", S24, ["Ωμέγα 数据 é", "ausgabe_ü"], 0, "", "", S24_TEXT),
    ("open", "missing non-ASCII path", None, ["données/数据", "out"], 99, "", unopened("données/数据"), None),
    ("open", "output in a missing folder", S24, ["in", "no/out"], 98, "", error("opening output", "no/out"), None),
    ("recognise", "empty file", b"", None, 98, "", UNRECOGNISED, None),
    ("recognise", "ncol prefix", b"ncol", None, 0, "", "", ""),
    ("recognise", "ncols then anything", b"ncols 4\n\x00\xff" * 20, None, 0, "", "", ""),
    ("recognise", "upper case NCOL", b"NCOLS 4\n" * 20, None, 98, "", UNRECOGNISED, None),
    ("recognise", "three letters nco", b"nco", None, 98, "", UNRECOGNISED, None),
    ("recognise", "double, header only", stack("d"), None, 0, "", "", D0_TEXT),
    ("recognise", "single, 11 cells", stack("f", [1.0] * 11), None, 98, "", UNRECOGNISED, None),
    ("recognise", "single, 56-byte example", stack("f", [3, 4]), None, 98, "", UNRECOGNISED, None),
    ("recognise", "double nodata -9999.5", nodata("d", -9999.5), None, 98, "", UNRECOGNISED, None),
    ("recognise", "single nodata -99", nodata("f", -99), None, 98, "", UNRECOGNISED, None),
    ("recognise", "single nodata 0", nodata("f", 0), None, 98, "", UNRECOGNISED, None),
    ("recognise", "single nodata NaN", nodata("f", float("nan")), None, 98, "", UNRECOGNISED, None),
    ("recognise", "single with double's pattern at 40", S_AS_DOUBLE, None, 0, "", "", listing("d", S_AS_DOUBLE)),
    ("recognise", "double with single's pattern at 20", D_AS_SINGLE, None, 0, "", "", listing("f", D_AS_SINGLE)),
    ("recognise", "own listing as input", D2_TEXT.encode(), None, 98, "", UNRECOGNISED, None),
    ("convert", "double example", D2, None, 0, "", "", D2_TEXT),
    ("convert", "single, 12 cells", S24, None, 0, "", "", S24_TEXT),
    ("convert", "single, 13 cells and 3 bytes", TENTHS, None, 0, "", "", TENTHS_TEXT),
    ("convert", "double, 2 cells and 7 bytes", D2 + b"1234567", None, 0, "", "", D2_TEXT),
    ("convert", "single, cells past 64 KiB blocks", HALVES, None, 0, "", "", HALVES_TEXT),
    ("convert", "--buffered, single, cells past 64 KiB blocks", HALVES, ["--buffered", "in", "out"], 0, "", "",
     HALVES_TEXT),
    ("convert", "--buffered --digits 17, single: a full block", *styled("f", LONG, "--buffered --digits 17",
                                                                         digits_text(17))),
    ("convert", "ascii input truncates old output", b"ncols 4", ["in", "old"], 0, "", "", ""),
    ("convert", "unrecognised keeps old output", b"NCOL", ["in", "old"], 98, "", UNRECOGNISED, "old"),
    *[row for name, (kind, data, fault) in CHECKED.items() for row in (
        ("check", f"{name}: converted without --check", data, None, 0, "", "", listing(kind, data)),
        ("check", f"{name}: --check, no output", data, ["--check", "in", "out"], 98, "", fault, None),
        ("check", f"{name}: --check, old output kept", data, ["--check", "--exact", "in", "old"], 98, "", fault, "old"),
        ("check", f"{name}: --check from a pipe, whole lines", data, ["--buffered", "--check", "-", "out"], 98, "",
         fault.replace("in", "standard input", 1), None if "header's" in fault else listing(kind, data)))],
    *[("check", f"--check passes: {name}", data, ["--check", "in", "out"], 0, "", "", listing(kind, data))
      for name, (kind, data) in CHECK_PASSES.items()],
    ("check", "--check passes from a pipe", FULL60, ["--check", "-", "out"], 0, "", "", listing("d", FULL60)),
    ("check", "--check, ascii input: an empty output", b"ncols 4", ["--check", "in", "out"], 0, "", "", ""),
    ("check", "--check, a read error", FULL60, "EIO=200 --check in out", 99, "", NOT_READ, listing("d", FULL60[:200])),
    ("numbers", "table of texts", *cells_of("d", [
        ("100", "100"), ("-9999", "-9999"), ("0.5", "0.5"), (str(2 / 3), "0.666667"), ("1.5e6", "1.5e+06"),
        ("0.00001", "1e-05"), ("0.0001", "0.0001"), ("-0.0", "-0"), ("1234565", "1.23456e+06"), ("999999.5", "1e+06"),
        ("123456", "123456"), ("0.000123456", "0.000123456"), ("inf", "inf"), ("-inf", "-inf"), ("nan", "nan")])),
    ("numbers", "--exact, double", *cells_of("d", [
        (repr(2 / 3), "0.6666666666666666"), ("0.1", "0.1"), ("1234567", "1.234567e+06"), ("100000", "100000"),
        ("5e-324", "5e-324"), ("-0.0", "-0"), ("inf", "inf"), ("-inf", "-inf"), ("143308.875", "143308.875"),
        ("1e16", "1e+16"), ("0.0001", "0.0001"), ("1e-5", "1e-05"), ("123456.7", "123456.7"),
        ("1.7976931348623157e308", "1.7976931348623157e+308"), ("-9999", "-9999"), ("nan", "nan")],
        ["--exact", "in", "out"])),
    ("numbers", "--exact, single", *cells_of("f", [
        (repr(1 / 3), "0.33333334"), ("0.1", "0.1"), ("16777216", "1.6777216e+07"), ("143308.875", "143308.88"),
        ("1e-45", "1e-45"), ("-0.0", "-0"), ("inf", "inf"), ("-inf", "-inf"), ("3.4028235e38", "3.4028235e+38"),
        (repr(2 / 3), "0.6666667"), ("100000", "100000"), ("1234567", "1.234567e+06"), ("-9999", "-9999"),
        ("nan", "nan")],
        ["--exact", "in", "out"])),
    *[("numbers", f"{option}, {kind}", stack(kind, STYLED[kind]), option.split() + ["in", "out"], 0, "", "",
       digits_listing(kind, stack(kind, STYLED[kind]), option[-2:].strip(" ="))) for kind in "df"
      for option in ("--digits 1", "--digits 9", "--digits=17", "--digits 6", "--buffered --digits 9")],
    *[("numbers", f"--buffered, {kind}", *styled(kind, STYLED[kind], "--buffered", printf_g)) for kind in "df"],
    *[("numbers", f"--buffered --exact, {kind}", *cells_of(kind, [(repr(1 / 3), third), ("143308.875", tie)] * 6,
                                                           ["--buffered", "--exact", "in", "out"]))
      for kind, third, tie in (("d", "0.3333333333333333", "143308.875"), ("f", "0.33333334", "143308.88"))],
    # within 2^-62 of a half between two texts, and off it: found from the continued fractions of 5^m / 2^k
    ("numbers", "--digits 14 on values a hair from a half", *cells_of("d", [
        ("7.23047919080275e+50", "7.2304791908027e+50"), ("1.44609583816055e+51", "1.4460958381605e+51")],
        ["--digits", "14", "in", "out"])),
    ("numbers", "single nearest 0.1", *cells_of("f", [("0.1", "0.1")] * 12 + [
        ("16777217", "1.67772e+07"), ("3.4028235e38", "3.40282e+38"), ("-9999", "-9999")])),
    ("same", "same path", S24, ["in", "in"], 98, "", SAME, "INPUT"),
    ("same", "other spelling", S24, ["in", "./in"], 98, "", "output file is the same as input file ./in\n", "INPUT"),
    ("same", "symbolic link", S24, ["in", "link"], 98, "", "output file is the same as input file link\n", "INPUT"),
    ("same", "hard link", S24, ["in", "hard"], 98, "", "output file is the same as input file hard\n", "INPUT"),
    ("same", "ascii input, same path", b"ncols", ["in", "in"], 98, "", SAME, "INPUT"),
    ("faults", "disk full at first line", S24, ["in", "/dev/full"], 98, "", error("writing output", "/dev/full"), None),
    ("faults", "disk full after one byte", S24, "ENOSPC=1", 98, "", NOT_WRITTEN, ""),
    ("faults", "disk full, and the cut fails", S24, "ENOSPC=5+ftruncate=2", 98, "", NOT_WRITTEN, "stack"),
    ("faults", "disk full after 100 bytes", S24, "ENOSPC=100", 98, "", NOT_WRITTEN, lines_within(S24_TEXT, 100)),
    ("faults", "disk full mid-cells", THIRDS, "ENOSPC=5000", 98, "", NOT_WRITTEN, lines_within(THIRDS_TEXT, 5000)),
    ("faults", "a write moves nothing after 100 bytes", D2, "ZERO=100", 98, "", NOT_WRITTEN,
     lines_within(D2_TEXT, 100)),
    ("faults", "pipe write fails after 100 bytes", D2, "ENOSPC=100 in /dev/stdout", 98, D2_TEXT[:100],
     error("writing output", "/dev/stdout"), None),
    # 20100 bytes: the probe (the header), 2500 cells and 4 bytes
    ("faults", "read error mid-cells", stack("d", list(range(5000))), "EIO=20100", 99, "", NOT_READ,
     listing("d", stack("d", list(range(2500))))),
    ("faults", "read error in the signature", S24, "EIO=2", 99, "", NOT_READ, None),
    ("faults", "one read fails in the signature, the next would not", S24, "SHORT=2+read=2", 99, "", NOT_READ, None),
    ("faults", "read error right after the signature", S24, "EIO=4", 99, "", NOT_READ, None),
    ("faults", "read error right after the probe", stack("d", [3]), "EIO=96", 99, "", NOT_READ, D0_TEXT),
    ("faults", "input ends inside a cell", D2, "EOF=107", 0, "", "", listing("d", stack("d", [3]))),
    ("faults", "reads and writes of 3 bytes", THIRDS, "SHORT=3", 0, "", "", THIRDS_TEXT),
    ("faults", "reads and writes of 7 bytes, pipe", NINTHS, "SHORT=7 /dev/stdin out", 0, "", "", NINTHS_TEXT),
    ("faults", "first read and write interrupted", D2, "EINTR=1", 0, "", "", D2_TEXT),
    ("faults", "a write moves nothing, errno still EINTR from before", D2, "EINTR=1+ZERO=100", 98, "", NOT_WRITTEN,
     lines_within(D2_TEXT, 100)),
    ("faults", "--buffered: disk full mid-cells, cut back to the last block", THIRDS, "ENOSPC=5000 --buffered in out",
     98, "", NOT_WRITTEN, listing("d", THIRDS[:96])),
    ("faults", "--buffered: reads and writes of 3 bytes", THIRDS, "SHORT=3 --buffered in out", 0, "", "", THIRDS_TEXT),
    # 40,012 lines in at most one write a hundred lines: the 401st write would fail
    ("faults", "--buffered: at most one write a hundred lines", HALVES, "CALLS=400 --buffered in out", 0, "", "",
     HALVES_TEXT),
    ("faults", "--buffered: a block's text never over 256 KiB", stack("f", LONG),
     "LARGE=262144 --buffered --digits 17 in out", 0, "", "", listing("f", stack("f", LONG), digits_text(17))),
    ("faults", "--buffered: disk full as a block fills", stack("f", LONG), "ENOSPC=1000 --buffered --digits 17 in out",
     98, "", NOT_WRITTEN, listing("f", stack("f", LONG)[:96], digits_text(17))),
    ("faults", "--buffered: a pipe write fails mid-block", HALVES, "ENOSPC=5000 --buffered in /dev/stdout", 98,
     HALVES_TEXT[:5000], error("writing output", "/dev/stdout"), None),
    ("faults", "--buffered: output's type unknown, written as to a pipe", THIRDS, "fstat=5 --buffered in out", 0, "",
     "", THIRDS_TEXT),
    ("faults", "--buffered: SIGTERM in the middle of a block's write, no status line: whole lines", HALVES,
     "TERM=50000 --buffered in out", -signal.SIGTERM, "", "", ("prefix", HALVES_TEXT)),
    ("faults", "closing the output fails", D2, "close=2", 98, "", NOT_WRITTEN, D2_TEXT),
    ("faults", "input's type unknown", D2, "fstat=1", 0, "", "", D2_TEXT),
    ("faults", "input's identity unknown", D2, "fstat=2", 98, "", NOT_OPENED, ""),
    ("faults", "output's identity unknown, same file", D2, "fstat=3 in in", 98, "", error("opening output", "in"),
     "INPUT"),
    ("faults", "output's type unknown", D2, "fstat=4 in old", 98, "", error("opening output", "old"), "old"),
    ("faults", "output cannot be emptied", D2, "ftruncate=1 in old", 98, "", error("opening output", "old"), "old"),
    ("faults", "no memory for the signature", D2, "calloc=100", 99, "", NOT_READ, None),
    ("stream", "double on a pipe", D2, ["/dev/stdin", "out"], 0, "", "", D2_TEXT),
    ("stream", "single on a pipe as -, odd tail", NINTHS, ["-", "out"], 0, "", "", NINTHS_TEXT),
    ("stream", "ascii-form on a pipe", b"ncols 4\n" * 3, ["/dev/stdin", "out"], 0, "", "", ""),
    ("stream", "unrecognised on a pipe", b"NCOLS 4\n" * 20, ["/dev/stdin", "out"], 98, "", unrecognised("/dev/stdin"),
     None),
    ("stream", "too short on a pipe as -", stack("f", [1.0] * 11), ["-", "out"], 98, "", unrecognised("standard input"),
     None),
    ("stream", "cells split across FIFO writes", THIRDS, ["fifo", "out"], 0, "", "", THIRDS_TEXT),
    ("stream", "output to a pipe", D2, ["in", "/dev/stdout"], 0, D2_TEXT, "", None),
    ("stream", "- writes standard output", D2, ["in", "-"], 0, D2_TEXT, "", None),
    ("stream", "- redirected from the output", S24, ["-", "in"], 98, "", SAME, "INPUT"),
    ("stream", "a file named - is ./-", S24, ["./-", "out"], 0, "", "", S24_TEXT),
    ("stream", "an output named ./-", S24, ["in", "./-"], 0, "", "", S24_TEXT),
    ("stream", "stdin redirected from the output", S24, ["/dev/stdin", "in"], 98, "", SAME, "INPUT"),
    ("stream", "FIFO in two halves, no terminal: no progress", THIRDS, ["slow-fifo", "out"], 0, "", "", THIRDS_TEXT),
    *[("stream", f"killed at a random moment, {n}", HALVES, "SIGKILL@random paced-fifo out", -signal.SIGKILL, "", "",
       ("prefix", HALVES_TEXT)) for n in (1, 2, 3)],
    ("stream", "--buffered, - both ways", HALVES, ["--buffered", "-", "-"], 0, HALVES_TEXT, "", None),
    ("stream", "--buffered, cells split across FIFO writes", THIRDS, ["--buffered", "fifo", "out"], 0, "", "",
     THIRDS_TEXT),
    ("stream", "--buffered: a FIFO's first half written during its pause", THIRDS,
     "PAUSE@paused --buffered slow-fifo out", 0, "", "", ("paused", THIRDS_TEXT, listing("d", THIRDS[:12012]))),
    *[("stream", f"--buffered, {name} at a random moment of a busy run: whole lines", busy(16_000_000),
       f"{name}@started --buffered in out", -getattr(signal, name), "", "", ("prefix", LONG_BUSY_TEXT))
      for name in ("SIGINT", "SIGTERM", "SIGHUP")],
    ("stream", "--buffered, SIGINT while the output pipe is full: whole lines", HALVES,
     "SIGINT@random --buffered in /dev/stdout", -signal.SIGINT, ("prefix", HALVES_TEXT), "", None),
    *[("binary", f"the example back to {kind}", text.encode(), [BACK[kind], "in", "out"], 0, "", "", data)
      for kind, text, data in (("d", D2_TEXT, D2), ("f", listing("f", FULL12), FULL12))],
    *[("binary", f"{kind}: {name} back to the same bytes", *texts_back(kind, [shortest(kind, v) for v in STYLED[kind]],
                                                                         eol, last))
      for kind in "df" for name, eol, last in (
          ("shortest texts", "\n", "\n"), ("CR LF", "\r\n", "\r\n"), ("no last line end", "\n", ""),
          ("empty lines at the end", "\n", "\n\n\r\n"))],
    *[("binary", f"{kind}: {BACK[kind]} of --exact's text gives the same bytes", COUNTED[kind],
       [["--exact", "in", "text"], [BACK[kind], "text", "out"]], 0, "", "", COUNTED[kind]) for kind in "df"],
    *[("binary", f"{kind}: six digits, back and again, give the same text", COUNTED[kind],
       [["in", "text"], [BACK[kind], "text", "back"], ["back", "out"]], 0, "", "", listing(kind, COUNTED[kind]))
      for kind in "df"],
    *[("binary", f"{kind}: to a pipe", COUNTED[kind], [["--exact", "in", "text"], [BACK[kind], "text", "-"]], 0,
       COUNTED[kind], "", None) for kind in "df"],
    *[("binary", f"{kind}: from {source}", SHORTEST[kind][0], [BACK[kind], source, "out"], 0, "", "",
       SHORTEST[kind][-1])
      for kind in "df" for source in ("-", "/dev/stdin", "fifo")],
    *[("binary", f"{kind}: rounded once, straight from the text", *texts_back(kind, ROUNDED_ONCE[kind]))
      for kind in "df"],
    *[("binary", f"{kind}: every spelling strtod reads", *texts_back(kind, SPELLINGS)) for kind in "df"],
    *[("binary", f"{kind}: nan, -nan, NaN(zZ_09), -NAN(12): quiet, signed, no payload",
       (head_of(4) + "nan\n-nan\nNaN(zZ_09)\n-NAN(12)\n").encode(), [BACK[kind], "in", "out"], 0, "", "",
       stack(kind, header=counts(4)) + NANS[kind]) for kind in "df"],
    ("binary", "a cell -9999 stays nodata", *texts_back("f", ["-9999", "-9999.0", "-9.999e3"])),
    ("binary", "the header's own numbers, single", LINES.replace("xll\t0.5", "xll\t1.00000005960464477550").encode(),
     ["--to-single", "in", "out"], 0, "", "", stack("f", [1] * 13, [13, 1, 1 + 2 ** -23] + HEADER[3:])),
    ("binary", "nodata_value -9999.0", LINES.replace("-9999", "-9999.0").encode(), ["--to-single", "in", "out"], 0, "",
     "", stack("f", [1] * 13, counts(13))),
    ("binary", "same path", LINES.encode(), ["--to-double", "in", "in"], 98, "", SAME, "INPUT"),
    ("binary", "an output that exists is replaced", LINES.encode(), ["--to-double", "in", "old"], 0, "", "",
     stack("d", [1] * 13, counts(13))),
    ("binary", "a header fault keeps an old output", LINES.replace("cnt\t", "cnt ").encode(),
     ["--to-double", "in", "old"], 98, "", wanted(7, "cnt 2", "cnt") + "\n", "old"),
    ("binary", "missing input", None, ["--to-single", "in", "out"], 99, "", unopened(), None),
    ("binary", "a binary stack is no text", D2, ["--to-double", "in", "out"], 98, "",
     D2_AS_TEXT + '...", not stack_ncols, a TAB and a number\n', None),
    ("binary", "a header line of 64 KiB", *text_fault("stack_ncols\t2\nnrows\t" + "1" * 70000,
                                                      wanted(2, "nrows\\t" + "1" * 34 + "...", "nrows"))),
    ("binary", "empty input", *text_fault("", "in ends before line 1, which must be stack_ncols, a TAB and a number")),
    ("binary", "header cut after 5 lines", *text_fault("".join(D0_TEXT.splitlines(True)[:5]),
                                                       "in ends before line 6, which must be nodata_value, a TAB and "
                                                       "a number")),
    *[("binary", f"header fault: {name}", *text_fault(LINES.replace(old, new, 1), message, kind))
      for name, old, new, message, kind in HEADER_FAULTS],
    *[("binary", f"cell fault: {name}", *cell_fault(texts, message, kind))
      for name, texts, message, kind in CELL_FAULTS],
    ("binary", "a cell fault keeps an old output", (D0_TEXT + "x\n").encode(), ["--to-double", "in", "old"], 98, "",
     'line 13 of in is not a number: "x"\n', "old"),
    *[("binary", f"{name}, a cell fault after blocks are written: no output", ZEROS_TEXT.replace(b"\n", eol)
       + b"x\n", [option, "in", "out"], 98, "", 'line 100,013 of in is not a number: "x"\n', None)
      for name, eol, option in (("LF", b"\n", "--to-double"), ("CR LF", b"\r\n", "--to-single"))],
    ("binary", "read error mid-cells: no output", ZEROS_TEXT, "EIO=100000 --to-double in out", 99, "", NOT_READ,
     None),
    ("binary", "read error in the header: no output", LINES.encode(), "EIO=30 --to-double in out", 99, "", NOT_READ,
     None),
    ("binary", "disk full mid-cells: the old output kept", ZEROS_TEXT, "ENOSPC=100000 --to-double in old", 98, "",
     error("writing output", "old"), "old"),
    ("binary", "disk full at the first block", LINES.encode(), ["--to-double", "in", "/dev/full"], 98, "",
     error("writing output", "/dev/full"), None),
    ("binary", "reads and writes of 3 bytes", SHORTEST["d"][0], "SHORT=3 --to-double in out", 0, "", "",
     SHORTEST["d"][-1]),
    *[("binary", f"blocks of 64 KiB: {fault}", ZEROS_TEXT, f"{fault} --to-double in out", 0, "", "",
       stack("d", [0] * 100000, counts(100000))) for fault in ("CALLS=13", "LARGE=65536")],
    *[("binary", f"{call} of the written stack fails: the old output kept", LINES.encode(),
       f"{call}=1 --to-double in old", 98, "", error("writing output", "old"), "old") for call in ("fsync", "rename")],
    ("binary", "closing the written stack fails: no output", LINES.encode(), "close=2 --to-double in out", 98, "",
     NOT_WRITTEN, None),
    *[("binary", f"{name} once blocks are written: {'the old' if old else 'no'} output", ("lines", 10_000_000),
       f"{name}@started --to-double in {old or 'out'}", -getattr(signal, name), "", "", old or None)
      for name in ("SIGINT", "SIGTERM", "SIGHUP", "SIGKILL") for old in ("", "old")],
    *[row for name, (text, message) in EDITED.items() for row in (
        ("back", f"{name}: no output", text.encode(), ["--to-double", "in", "out"], 98, "", message, None),
        ("back", f"{name}: the old output kept", text.encode(), ["--to-single", "in", "old"], 98, "", message, "old"))],
    ("back", "the counts as a single holds them: stack_ncols 200.000001 is 200", NEAR_200,
     ["--to-single", "in", "out"], 0, "", "", stack("f", [1.5] * 200, counts(200))),
    ("back", "the counts as a double holds them: stack_ncols 200.000001", NEAR_200,
     ["--to-double", "in", "out"], 98, "", fault("stack_ncols", "200.000001"), None),
    ("back", "--check beside --to-double changes nothing", T200.encode(), ["--check", "--to-double", "in", "out"], 0,
     "",
     "", stack("d", [1.5] * 200, counts(200))),
    ("back", "from standard input: named so", T200[:-4].encode(), ["--to-double", "-", "out"], 98, "",
     says(199, path="standard input"), None),
    ("back", "a six-digit text of a seven-digit count: refused, pointing to --exact", SEVEN_DIGITS,
     [["in", "text"], ["--to-double", "text", "out"]], 98, "",
     says("2,000,001", "2,000,000 (stack_ncols 2e+06 × nrows 1 × numlevels 1)", "text", ROUNDED), None),
    ("back", "--exact's text of a seven-digit count comes back", SEVEN_DIGITS,
     [["--exact", "in", "text"], ["--to-double", "text", "out"]], 0, "", "", "INPUT"),
    *[("back", f"--digits {n}, {kind}: the header exact, nodata -9999", WIDE[kind], ["--digits", str(n), "in", "out"],
       0, "", "", digits_listing(kind, WIDE[kind], n)) for n in (1, 2, 3) for kind in "df"],
    *[("back", f"--digits 1, {kind}, and back: the header and nodata kept", WIDE[kind],
       [["--digits", "1", "in", "text"], [BACK[kind], "text", "out"]], 0, "", "",
       WIDE[kind][:12 * struct.calcsize(kind)] + read_back(kind, digits_listing(kind, WIDE[kind], 1).splitlines()[12:]))
      for kind in "df"],
    ("back", "blanks around the numbers", (head_of(4).replace("cnt\t2", "cnt\t 2 ").replace("xll\t0.5", "xll\t\t0.5\t")
     + " 1.5\n1.5 \n\t-2e3\t\n \t7 \t\n").encode(), ["--to-double", "in", "out"], 0, "", "",
     stack("d", [1.5, 1.5, -2e3, 7], counts(4))),
    *[("back", f"output {name}", LINES.encode(), ["--to-double", "in", output], 0, "", "",
       stack("d", [1] * 13, counts(13)))
      for name, output in (("a link: the file it names replaced", "tolink"), ("an absolute link", "abslink"),
                           ("a link to no file yet", "newlink"), ("an absolute link in a folder", "outdir/abslink"))],
    ("back", "41 links in a row: refused, the file they end at kept", LINES.encode(), ["--to-double", "in", "chain"],
     98, "", error("opening output", "chain"), None),
    *[("back", f"output {name}: refused", LINES.encode(), ["--to-double", "in", output], 98, "",
       error("opening output", output), None)
      for name, output in (("in a missing folder", "no/out"), ("under a file", "in/out"), ("a folder", "outdir"))],
    ("back", "the same file through a link", LINES.encode(), ["--to-double", "in", "link"], 98, "",
     "output file is the same as input file link\n", "INPUT"),
    *[("back", f"output's identity unknown ({call} fails): the old output kept", LINES.encode(),
       f"{call} --to-double in old", 98, "", error("opening output", "old"), "old") for call in ("stat=1", "fstat=2")],
    ("back", "from a pipe over an old output: replaced", LINES.encode(), ["--to-double", "-", "old"], 0, "", "",
     stack("d", [1] * 13, counts(13))),
    ("back", "SIGTERM as the rename starts: too late, the run ends as it succeeded", LINES.encode(),
     "TERMRENAME=1 --to-double in old", 0, "", "", stack("d", [1] * 13, counts(13))),
    ("back", "SIGTERM during the sync before the rename: the old output kept", LINES.encode(),
     "TERMFSYNC=1 --to-double in old", -signal.SIGTERM, "", "", "old"),
    ("back", "a name of 250 bytes: its file beside it fits the system's 255", LINES.encode(),
     ["--to-double", "in", "o" * 250], 0, "", "", stack("d", [1] * 13, counts(13))),
    ("back", "a one-letter input that is missing", None, ["--to-double", "x", "out"], 99, "", unopened("x"), None),
    ("back", "standard input redirected from the output", LINES.encode(), ["--to-double", "-", "in"], 98, "", SAME,
     "INPUT"),
    *[("back", f"options after the paths: {' '.join(argv)}", S24, argv, 1, USAGE,
       f"{option} comes after INPUT and OUTPUT: options come before them\n", None) for argv, option in (
        (["in", "out", "--exact"], "--exact"), (["--to-double", "in", "out", "--check"], "--check"),
        (["in", "out", "--digits", "3"], "--digits"), (["in", "out", "x", "--digits=3"], "--digits=3"),
        (["--exact", "in", "out", "--to-single"], "--to-single"))],
    ("large", "3 GiB ascii-form input", sparse(b"ncols 4\n"), None, 0, "", "", ""),
    ("large", "3 GiB stack as its own output", sparse(stack("d")), ["in", "in"], 98, "", SAME, "INPUT"),
    # console: standard error (and output, unless a slow pipe) on a terminal; "out" is the screen at the end,
    # "err" a pattern the terminal's bytes must hold
    ("console", "non-ASCII missing input", None, ["données/数据.stack", "out.txt"], 99,
     "error opening input file données/数据.stack\n", "", None),
    ("console", "Greek input, German output", None, ["Ωμέγα.stack", "ausgabe_ü"], 99,
     "error opening input file Ωμέγα.stack\n", "", None),
    ("console", "usage", None, [], 1, USAGE, "", None),
    ("console", "--version", None, ["--version"], 0, VERSION, "", None),
    ("console", "--help", None, ["--help"], 0, HELP, "", None),
    ("console", "quick run: no progress", S24, None, 0, "", "^$", S24_TEXT),
    ("console", "input's size unknown: converted all the same", D2, "fstat=5", 0, "", "^$", D2_TEXT),
    ("console", "FIFO in two halves: progress, then a blank screen", THIRDS, ["slow-fifo", "out"], 0, "", PROGRESS,
     THIRDS_TEXT),
    # the first draw comes 1.3 s in, with the first half's 988 cells; the time left is the time so far
    ("console", "FIFO whose header counts its cells: their share", COUNTED_QUARTERS, ["quarters-fifo", "out"], 0, "",
     r"^\r988 cells written, 49% of 1988, 0:0\d left", listing("d", COUNTED_QUARTERS)),
    ("console", "output on the terminal too: no status line among its lines", THIRDS, ["slow-fifo", "/dev/stderr"], 0,
     THIRDS_TEXT, r"^(?![\s\S]*cells written)", None),
    ("console", "output pipe read slowly: share read", SEVENTHS, ["in", "/dev/stdout"], 0, "", SHARE, None),
    ("console", "4 million cells: share read, then a blank screen", zero_cells(4_000_000), None, 0, "", SHARE, None),
    ("console", "read error after progress: message on a clean line", THIRDS, "EIO=14000 slow-fifo out", 99,
     "error reading input file slow-fifo\n", PROGRESS, listing("d", THIRDS[:14000])),
    # the second quarter comes in one read 1.3 s in: the first draw counts the first half's 988 cells, a later
    # one the rest's 1988, on a wider line
    ("console", "FIFO in quarters: the cells of the first half", QUARTERS, ["quarters-fifo", "out"], 0, "",
     r"^\r988 cells written\r\d{4} cells written", QUARTERS_TEXT),
    *[("console", f"{name} after the line is drawn: a blank screen, whole lines", THIRDS, f"{name}@drawn held-fifo out",
       -getattr(signal, name), "", PROGRESS, ("prefix", THIRDS_TEXT)) for name in ("SIGINT", "SIGTERM", "SIGHUP")],
    ("console", "--buffered, SIGTERM twice after the line is drawn: a blank screen, whole lines", THIRDS,
     "SIGTERM*2@drawn --buffered held-fifo out", -signal.SIGTERM, "", PROGRESS, ("prefix", THIRDS_TEXT)),
    ("console", "SIGINT before a line is drawn: nothing on the screen", THIRDS, "SIGINT@started held-fifo out",
     -signal.SIGINT, "", "^$", ("prefix", THIRDS_TEXT)),
    ("console", "SIGINT ignored, as by nohup: the run goes on", THIRDS, "SIGINT@ignored held-fifo out", 0, "",
     PROGRESS, THIRDS_TEXT),
    # a signal twice at once, as timeout sends it (to the program, then its group) or a person presses Ctrl-C
    *[("console", f"{name} twice at once, busy: a blank screen, whole lines", busy(4_000_000), f"{name}*2@drawn",
       -getattr(signal, name), "", SHARE[2:], ("prefix", BUSY_TEXT)) for name in ("SIGINT", "SIGTERM")],
    ("console", "under timeout, busy: a blank screen, whole lines", busy(4_000_000), "timeout@2.5", 124, "", SHARE[2:],
     ("prefix", BUSY_TEXT)),
    # wine turns SIGINT into the console's Ctrl-C, not SIGTERM or SIGHUP
    ("console", "Ctrl-C after the line is drawn: a blank screen", zero_cells(8_000_000), "SIGINT@drawn", -signal.SIGINT,
     "", SHARE[2:], ("prefix", D0_TEXT + "0\n" * 8_000_000)),
    ("console", "Ctrl-C twice at once: a blank screen", zero_cells(8_000_000), "SIGINT*2@drawn", -signal.SIGINT,
     "", SHARE[2:], ("prefix", D0_TEXT + "0\n" * 8_000_000)),
    ("console", "--to-double, FIFO in two halves: progress, then a blank screen", THIRDS_BACK[0],
     ["--to-double", "slow-fifo", "out"], 0, "", r"\r\d+ cells written, \d+% of 3000", THIRDS_BACK[-1]),
    ("console", "--to-double, a file read 5 bytes at a time: share read", ("lines", 2_000_000),
     "SHORT=5 --to-double in out", 0, "", SHARE, None),
    *[("console", f"--to-double, Ctrl-C once blocks are written: {'the old' if old else 'no'} output",
       ("lines", 10_000_000), f"SIGINT@started --to-double in {old or 'out'}", -signal.SIGINT, "", "", old or ABSENT)
      for old in ("", "old")],
    ("console", "Ctrl-C before a line is drawn: nothing on the screen", zero_cells(8_000_000), "SIGINT@started",
     -signal.SIGINT, "", "^$", ("prefix", D0_TEXT + "0\n" * 8_000_000)),
    ("info", "double example", D2, ["--info", "in", "out"], 0, "", "", D2_REPORT),
    ("info", "single example, 56 bytes, to standard output", stack("f", [3, 4]), ["--info", "in", "-"], 0,
     report("single", HEADER, [3, 4], kind="f"), "", None),
    ("info", "its six-digit text, from standard input", D2_TEXT.encode(), ["--info", "-", "out"], 0, "", "",
     report("ascii stack", HEADER, [3, 4])),
    ("info", "stale statistics named", stack("d", STALE, [3] + HEADER[1:]), ["--info", "in", "out"], 0, "", "",
     report("double", [3] + HEADER[1:], STALE, "differ: cnt min max sum average")),
    *[("info", f"exact sum: {name}", stack("d", cells, running("d", cells)), ["--info", "in", "out"], 0, "", "",
       report("double", running("d", cells), cells)) for name, cells in HARD_SUMS.items()],
    ("info", "10^7 cells of mixed magnitude", lambda: mixed()[0], ["--info", "in", "out"], 0, "", "",
     lambda: mixed()[1]),
    ("info", "random single bit patterns", stack("f", STYLED["f"], running("f", STYLED["f"])), ["--info", "in", "out"],
     0, "", "", report("single", running("f", STYLED["f"]), STYLED["f"], kind="f")),
    ("info", "--stats, single: random bit patterns", SHORTEST["f"][0], ["--to-single", "--stats", "in", "out"], 0, "",
     "", stack("f", STYLED["f"], true_header("f", STYLED["f"]))),
    ("info", "2^24 + 1 single cells: cnt as a single holds the count", lambda: stack("f", header=BEYOND_24) + bytes(
        4 << 24) + bytes(4), ["--info", "in", "out"], 0, "", "", lambda: report(
            "single", BEYOND_24, [0.0] * ((1 << 24) + 1), kind="f", exact=Fraction(0))),
    ("info", "singles summed one by one in single precision agree", stack("f", FLOATS, running("f", FLOATS)),
     ["--info", "in", "out"], 0, "", "", report("single", running("f", FLOATS), FLOATS, kind="f")),
    ("info", "a sum and an average beyond a running sum's error", stack("f", FLOATS, STRAYED := [
        v + 2000 * (i in (9, 10)) for i, v in enumerate(running("f", FLOATS))]), ["--info", "in", "out"], 0, "", "",
     report("single", STRAYED, FLOATS, "differ: sum average", kind="f")),
    *[("info", f"{name}: agree", stack("d", cells, true_header("d", cells)), ["--info", "in", "out"], 0, "", "",
       report("double", true_header("d", cells), cells)) for name, cells in (
        ("no cells", []), ("nodata only", [-9999] * 4), ("NaN, nodata and values", [1, float("nan"), -9999, 2]))],
    *[("info", f"a cut stack{check}", FULL60[:96 + 36 * 8 + 3], [*check.split(), "--info", "in", "out"],
       98 if check else 0, "", held(36, 3) if check else "", report(
           "double", [5, 4] + HEADER[2:11] + [3], list(range(36)), "differ: cnt min max sum average", tail=3))
      for check in ("", " --check")],
    *[("info", f"header_cells {word}", counted(*counts, cells=0), ["--info", "in", "out"], 0, "", "",
       report("double", [*counts[:2]] + HEADER[2:11] + [counts[2]], [], "differ: cnt min max sum average",
              counted=word)) for word, counts in (
        ("not_whole", (4, 2.5, 1)), ("negative", (4, 1, -3)), ("too_many", (1e10, 1e10, 1e10)))],
    *[("info", f"neither stack: {name}", data, ["--info", "in", "out"], 98, "",
       "could not recognise in as a binary stack (single or double) or an ascii stack\n", None)
      for name, data in (("empty", b""), ("an ASCII grid", b"ncols 4\n"), ("a double's header cut", D2[:95]))],
    *[("info", f"infinite cells: {name}", stack("d", cells, counts(len(cells))), ["--info", "in", "out"], 0, "", "",
       report("double", counts(len(cells)), cells, f"differ: {stale}min max sum average")) for name, cells, stale in (
        ("inf", [1, math.inf], ""), ("-inf", [-math.inf, 2], ""), ("both", [math.inf, -math.inf, 1], "cnt "))],
    ("info", "single: a NaN, an infinity and nodata", stack("f", [1, math.nan, math.inf, -9999], counts(4)),
     ["--info", "in", "out"], 0, "", "", report("single", counts(4), [1, math.nan, math.inf, -9999],
                                                "differ: min max sum average", kind="f")),
    *[("info", f"one cell, its sum {ulps} units of 2^-52 off: {agree}", stack("d", [1.0], NEAR_ONE[ulps]),
       ["--info", "in", "out"], 0, "", "", report("double", NEAR_ONE[ulps], [1.0], agree))
      for ulps, agree in ((1, "agree"), (2, "differ: sum average"))],
    ("info", "200,000 lines of six digits: a sum that a running one could miss by any amount", ("lines", 200_000),
     ["--info", "in", "out"], 0, "", "",
     report("ascii stack", counts(200_000), [0.0] * 200_000, "differ: cnt min max")),
    ("info", "--check on a whole stack", D2, ["--check", "--info", "in", "out"], 0, "", "", D2_REPORT),
    ("info", "a text with a bad header line", b"stack_ncols\tx\n", ["--info", "in", "out"], 98, "",
     wanted(1, "stack_ncols\\tx", "stack_ncols") + "\n", None),
    ("info", "the first read fails", D2, "EIO=0 --info in out", 99, "", NOT_READ, None),
    ("info", "closing the report fails", D2, "close=1 --info in out", 98, "", NOT_WRITTEN, D2_REPORT),
    ("info", "--stats: no seek to the header", STATS_TEXT["d"].encode(), "lseek=1 --to-double --stats in old", 98, "",
     error("writing output", "old"), "old"),
    ("info", "--stats, single: a sum beyond its range is inf", (head_of(2) + "3e38\n3e38\n").encode(),
     ["--to-single", "--stats", "in", "out"], 0, "", "",
     stack("f", [3e38] * 2, true_header("f", as_kind("f", [3e38] * 2)))),
    ("info", "a text with a bad cell", (D0_TEXT + "1,5\n").encode(), ["--info", "in", "out"], 98, "",
     'line 13 of in is not a number: "1,5"\n', None),
    ("info", "a read error", THIRDS, "EIO=5000 --info in out", 99, "", NOT_READ, None),
    ("info", "a read error in a text", THIRDS_TEXT.encode(), "EIO=5000 --info in out", 99, "", NOT_READ, None),
    ("info", "the report cannot be written", D2, "ENOSPC=10 --info in out", 98, "", NOT_WRITTEN, ""),
    ("info", "the report over its input", D2, ["--info", "in", "in"], 98, "", SAME, "INPUT"),
    *[("info", f"--stats, {kind}: the header made true", STATS_TEXT[kind].encode(),
       [BACK[kind], "--stats", "in", "out"], 0, "", "", stack(kind, cells, true_header(kind, cells)))
      for kind, cells in STATS_CELLS.items()],
    *[("info", f"--stats, {kind}: --info agrees", STATS_TEXT[kind].encode(),
       [[BACK[kind], "--stats", "in", "mid"], ["--info", "mid", "out"]], 0, "", "",
       report({"d": "double", "f": "single"}[kind], true_header(kind, cells), cells, kind=kind))
      for kind, cells in STATS_CELLS.items()],
    ("info", "--stats over an old file that cannot be rewritten", STATS_TEXT["d"].encode(),
     "CALLS=1 --to-double --stats in old", 98, "", error("writing output", "old"), "old"),
    *[("info", f"--stats refused before reading: {path}", None, ["--to-double", "--stats", "in", path], 1, "",
       "--stats writes the header last: OUTPUT must be a file, not standard output, a pipe or a device\n", None)
      for path in ("-", "/dev/null")],
]
# Each FIFO's feed, in segments: bytes (None: the rest), pause before them, bytes a write, pause between writes
FEEDS = {"fifo": [(None, 0, 1001, 0)], "slow-fifo": [(12012, 0, 1001, 0), (None, 1.3, 1001, 0)],
         "quarters-fifo": [(4000, 0, 1001, 0), (4000, 1.3, 4000, 0), (None, 1.3, 1001, 0)],  # one write: one read
         "held-fifo": [(12012, 0, 1001, 0), (1001, 1.3, 1001, 0), (None, 2, 1001, 0)],
         "paced-fifo": [(None, 0, 1001, 0.005)]}

def feed_fifo(path, data, feed, opened):  # writes of 1001 bytes split cells; the reader may stop early
    try:
        with open(path, "wb", buffering=0) as fifo:
            opened.set()
            start = 0
            for size, pause, piece, between in feed:
                time.sleep(pause)
                end = len(data) if size is None else start + size
                for at in range(start, end, piece):
                    fifo.write(data[at:min(at + piece, end)])
                    time.sleep(between)
                start = end
    except BrokenPipeError: pass

SENT = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
def child_signals(ignored=0):  # in each child: the signals the suite sends at their default, whatever nohup or a
    def reset():  # shell's & left ignored; ignored, one of them ignored as nohup has it
        for number in SENT: signal.signal(number, signal.SIG_IGN if number == ignored else signal.SIG_DFL)
    return reset

def run_once_more_if_lost(command, emulated, stdin=None, **options):
    """subprocess.run, once more where wine lost its server (about one start in 300 here: "wine client error",
    status 1, nothing written): the converter never ends with 1 in silence."""
    for attempt in (1, 2):
        if stdin: stdin.seek(0)
        done = subprocess.run(command, stdin=stdin, **options)
        lost = done.returncode == 1 and not done.stdout and (not done.stderr or b"wine client error" in done.stderr)
        if not (emulated and lost): return done
    return done

LINK_OUTPUTS = ("tolink", "abslink", "newlink", "outdir/abslink")  # OUTPUT a symbolic link
def leftovers(workdir): return [name for name in os.listdir(workdir) if ".ostrel-" in name]

def output_started(target, existed, workdir):  # a new output, or the file written beside an old one, holds bytes
    written = ([] if existed else [target]) + [os.path.join(workdir, name) for name in leftovers(workdir)]
    return any(os.path.exists(path) and os.path.getsize(path) for path in written)

def snapshot(path):
    """A file's bytes, or for one over 64 MiB its size and both ends."""
    with open(path, "rb") as f:
        size = os.fstat(f.fileno()).st_size
        if size < 1 << 26: return f.read()
        head = f.read(4096)
        f.seek(-4096, os.SEEK_END)
        return size, head, f.read()

def on_terminal(command, workdir, env, slow_stdout, interrupt, target, existed):
    """Status, the screen at the end and the raw text, when standard error (and
    input and output, unless output is a pipe read 1.5 s late) is a pseudo-terminal,
    which wine treats as a console; wine moves the cursor between words instead
    of writing spaces. An interrupt ("SIGINT@drawn") is sent once the status line
    is drawn, once the output holds lines ("@started"), or, ignored as nohup has it, once drawn ("@ignored");
    "SIGINT*2@drawn" sends it twice at once, "timeout@2.5" runs the command under timeout."""
    leader, follower = pty.openpty()
    started = time.monotonic()
    name, when = interrupt.split("@") if interrupt else ("", "")
    if name == "timeout": command, when = ["timeout", when] + command, ""
    name, times = (name + "*1").split("*")[:2]
    number = getattr(signal, name, 0)
    ignore = child_signals(number if when == "ignored" else 0)
    process = subprocess.Popen(command, cwd=workdir, env=env, stdin=follower, stderr=follower, preexec_fn=ignore,
                               stdout=subprocess.PIPE if slow_stdout else follower)
    os.close(follower)
    piped = []
    if slow_stdout:
        reader = threading.Thread(target=lambda: (time.sleep(1.5), piped.append(process.stdout.read())))
        reader.start()
    raw, deadline = b"", started + 240  # emulated on a busy machine, a run of 2 million lines can take minutes
    while time.monotonic() < deadline:
        due = b"cells written" in raw if when != "started" else output_started(target, existed, workdir)
        if when and due:
            for _ in range(int(times)): process.send_signal(number)
            when = ""
        if not select.select([leader], [], [], 0.02)[0]: continue
        try: chunk = os.read(leader, 4096)
        except OSError: break  # the terminal closed: every writer is gone
        if not chunk: break
        raw += chunk
    os.close(leader)
    if slow_stdout: reader.join()
    seconds = time.monotonic() - started
    text = re.sub(r"\x1b\[(\d*)C", lambda m: " " * int(m.group(1) or 1), raw.decode("utf-8", "replace"))
    text = re.sub(r"\x1b\[[?\d;]*[A-JL-Za-z]", "", text.replace("\x1b[K", "\0"))  # keep erase to end of line
    return process.wait(timeout=60), screen(text), text, b"".join(piped), seconds

def progress_bytes(raw):
    """What is wrong with the status lines' bytes: each draw is padded to the widest line so far, and the last
    is followed by an erase of exactly that width, then by the end, a message or another erase (wine draws its
    own way, and is not asked)."""
    draws, width = re.findall(r"\r(\d+ cells written[^\r]*)", raw), 0
    for line in draws:
        width = max(width, len(line.rstrip()))
        if line != line.rstrip().ljust(width): return f"draw {line!r} is not padded to {width} characters"
    erase = "\r" + " " * width + "\r"
    alone = draws and re.search(re.escape("\r" + draws[-1] + erase) + r"($|[^ \0])", raw)
    return f"the last draw is not followed by {erase!r} alone" if draws and not alone else ""

def screen(text):
    """The lines a terminal shows for the text: a carriage return goes back to
    the line's start, later characters cover earlier ones, NUL erases to the line's end."""
    lines, column = [[]], 0
    for character in text:
        if character == "\r": column = 0
        elif character == "\0": del lines[-1][column:]
        elif character == "\n": lines, column = lines + [[]], 0
        else:
            row = lines[-1]
            row.extend(" " * (column + 1 - len(row)))
            row[column], column = character, column + 1
    return "\n".join("".join(row).rstrip() for row in lines)

def skip_reason(group, data, argv, interrupt, fault, args):
    windows = args.eol == "\r\n"
    if fault and not args.shim: return "faults are injected by a shim preloaded with LD_PRELOAD, on Linux only"
    if fault and not args.guest_env_option and args.prefix: return "the preloaded shim would act on the prefix too"
    if fault and "calloc" in fault and args.sanitized: return "the sanitizer's allocator comes before the shim"
    if "/dev/full" in argv and (windows or not os.path.exists("/dev/full")): return "the system has no /dev/full"
    if windows and any("\udc80" <= c <= "\udcff" for a in argv for c in a):
        return "a Windows command line holds no bytes that are not UTF-8"
    if interrupt.startswith("timeout") and args.prefix: return "timeout would time the emulator's start too"
    if isinstance(data, tuple) and data[0] == "busy" and windows: return "wine has a Ctrl-C row of its own"
    if isinstance(data, tuple) and data[0] == "zeros" and not windows:
        return "a row for wine, whose run is slower; natively the busy rows interrupt a run of this kind"
    if windows and {"/dev/stdin", "/dev/stdout", "/dev/null", *FEEDS} & set(argv):
        return "Windows has no /dev/stdin, /dev/null or FIFOs"
    if windows and argv[-2:] == ["-", "in"]: return "wine gives a redirected standard input no file index to compare"
    if windows and interrupt and group != "console": return "wine turns only a console's SIGINT into a Ctrl-C"
    if windows and set(LINK_OUTPUTS) & set(argv): return "on Windows a link OUTPUT is itself replaced"
    return ""

def case_argv(argv):  # a case's argv column as its interrupt, its fault (each "" where none) and its arguments
    fault, argv = (argv.split()[0], argv.split()[1:] or None) if isinstance(argv, str) else ("", argv)
    interrupt, fault = (fault, "") if fault.startswith(("SIG", "timeout", "PAUSE")) else ("", fault)
    return interrupt, fault, ["in", "out"] if argv is None else argv[-1] if steps_before(argv) else argv

def steps_before(argv):  # the runs before the case's own, where its argv column is a list of runs
    return argv[:-1] if isinstance(argv, list) and argv and isinstance(argv[0], list) else []

def run_case(case, args, workdir):
    group, name, data, argv, status, out, err, expected = (item() if callable(item) else item for item in case)
    env, exe, prefix = dict(os.environ), args.exe, list(args.prefix)
    steps, (interrupt, fault, argv) = steps_before(argv), case_argv(argv)
    why = skip_reason(group, data, argv, interrupt, fault, args)
    if why: return "skip", why
    if fault:
        preload = {"LD_PRELOAD": args.shim, "OSTREL_FAULT": fault}
        if args.guest_env_option:
            prefix += [item for key, value in preload.items() for item in (args.guest_env_option, f"{key}={value}")]
        else: env.update(preload)
        exe = args.preloadable
    paths = argv[-2:]  # the input and the output are the last two arguments
    piped = paths[:1] in (["/dev/stdin"], ["-"]) and paths[1:] != ["in"]  # else stdin comes from the file "in"
    fifo = paths[0] if paths[:1] and paths[0] in FEEDS else None
    source_paths = steps[0][-2:] if steps else paths  # a run of steps reads the first step's input
    reads_stdin = not source_paths or source_paths[0] in ("/dev/stdin", "-")
    source = os.path.join(workdir, "in" if reads_stdin or fifo else source_paths[0])
    if data == "dir": os.mkdir(source)
    elif isinstance(data, tuple) and data[0] == "lines":  # a text stack of that many cells, all 0
        with open(source, "w") as f: f.write(head_of(data[1]) + "0\n" * data[1])
    elif data is not None and not piped and not fifo:
        with open(source, "wb") as f: f.write(data[1] if isinstance(data, tuple) else data)
        if isinstance(data, tuple): os.truncate(source, 3 << 30 if data[0] == "sparse" else len(data[1]) + 8 * data[2])
    opened = threading.Event()
    if fifo:
        os.mkfifo(os.path.join(workdir, fifo))
        threading.Thread(target=feed_fifo, args=(os.path.join(workdir, fifo), data, FEEDS[fifo], opened),
                         daemon=True).start()
    if {"old", "chain", *LINK_OUTPUTS} - {"newlink"} & set(argv):  # a mode of its own, which a replaced output keeps
        with open(os.path.join(workdir, "old"), "wb") as f: f.write(b"old")
        os.chmod(os.path.join(workdir, "old"), 0o640)
    links = {"link": "in", "tolink": "old", "abslink": os.path.join(workdir, "old"), "newlink": "made",
             "outdir/abslink": os.path.join(workdir, "old"),
             **{f"chain{n or ''}": f"chain{n + 1}" for n in range(40)}, "chain40": "old"}
    if "outdir" in argv or "outdir/abslink" in argv: os.mkdir(os.path.join(workdir, "outdir"))
    for link in {"link", "tolink", "abslink", "newlink", "outdir/abslink", "chain"} & set(argv):  # "chain": 41 in a row
        for name in [link] if link != "chain" else [name for name in links if name.startswith("chain")]:
            os.symlink(links[name], os.path.join(workdir, name))
    if "hard" in argv: os.link(os.path.join(workdir, "in"), os.path.join(workdir, "hard"))
    target = os.path.join(workdir, paths[1] if len(paths) > 1 else "out")
    existed, before = os.path.lexists(target), snapshot(source) if os.path.isfile(source) else None
    eol = lambda text: text if isinstance(text, bytes) else \
        text.replace("\n", args.eol).encode("utf-8", "surrogateescape")
    want = None if expected in (None, ABSENT) else before if expected == "INPUT" else eol(expected) \
        if isinstance(expected, (str, bytes)) else eol(expected[1])
    def output_matches(actual):  # ("prefix", text): whole lines of the text, from its start
        if not isinstance(expected, tuple) or expected[0] == "paused": return actual == want
        return bool(actual) and want.startswith(actual) and actual.endswith(eol("\n"))
    whole_lines = lambda actual, text: eol(text).startswith(actual) and actual.endswith(eol("\n")) or actual == b""
    out = out.replace("{version}", args.project_version) if isinstance(out, str) else out
    if group == "console":
        slow = paths[1:] == ["/dev/stdout"]
        got, shown, raw, piped, seconds = on_terminal(prefix + [exe] + argv, workdir, env, slow, interrupt, target,
                                                      existed)
        # wine's own Ctrl-C handler ends the process with status 0, where Windows' gives 0xC000013A
        wine_interrupt = args.eol != "\n" and interrupt
        problems = [f"{what}: got {value!r}, want {want!r}" for what, value, want in (
            ("status", got, got if wine_interrupt else status), ("screen", shown, out),
            ("stdout", piped, eol(listing("d", data)) if slow else b"")) if value != want]
        if not re.search(err, raw): problems.append(f"terminal's text {raw[:200]!r} holds no {err!r}")
        if raw.count("cells written") > 4 * seconds + 1: problems.append(f"drawn more than 4 times a second: {raw!r}")
        if args.eol == "\n" and progress_bytes(raw): problems.append(progress_bytes(raw))
        actual = snapshot(target) if os.path.isfile(target) else None
        if expected not in (None, ABSENT) and not output_matches(actual) or expected == ABSENT and actual is not None:
            problems.append("output differs")
        return ("fail", "; ".join(problems)) if problems else ("pass", "")
    for step in steps:  # a conversion before the case's own, which must succeed
        done = run_once_more_if_lost(prefix + [exe] + step, args.eol != "\n", cwd=workdir, env=env, capture_output=True,
                                     timeout=60, preexec_fn=child_signals())
        if done.returncode != 0: return "fail", f"{step}: status {done.returncode}, {done.stderr[:300]!r}"
    with open(source, "rb") if paths in (["/dev/stdin", "in"], ["-", "in"]) else open(os.devnull, "rb") as stdin:
        if interrupt:  # a signal at a random moment while a FIFO feeds it or once the output holds lines,
            name, when = interrupt.split("@")  # or the output's bytes during the FIFO's pause ("PAUSE@paused")
            process = subprocess.Popen(prefix + [exe] + argv, cwd=workdir, env=env, stdin=stdin,
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec_fn=child_signals())
            delay = {"random": random.uniform(0.1, 0.6), "started": random.uniform(0, 0.04), "paused": 1.0}[when]
            opened.wait(30) if fifo else None
            while when == "started" and not output_started(target, existed, workdir): time.sleep(0.002)
            time.sleep(delay)
            if name == "PAUSE": during = snapshot(target)
            else: process.send_signal(getattr(signal, name))
            done = subprocess.CompletedProcess(argv, process.wait(60), *process.communicate())
        else:
            done = run_once_more_if_lost(prefix + [exe] + argv, args.eol != "\n", cwd=workdir, env=env,
                                         capture_output=True, timeout=60, preexec_fn=child_signals(),
                                         **({"input": data} if piped else {"stdin": stdin}))
    created = os.path.isfile(target) and not target.startswith("/dev/")
    actual = snapshot(target) if created else None
    clip = lambda value: value[:300] if isinstance(value, bytes) else value
    stdout_matches = whole_lines(done.stdout, out[1]) if isinstance(out, tuple) else done.stdout == eol(out)
    problems = [f"{what}: got {clip(got)!r}, want {clip(exp)!r}" for what, got, exp in (
        ("status", done.returncode, status), ("stdout", done.stdout, out), ("stderr", done.stderr, eol(err)),
        ("output", actual, want)) if got != exp and (what != "output" or not output_matches(actual))
        and (what != "stdout" or not stdout_matches)]
    if interrupt.startswith("PAUSE") and during != eol(expected[2]): problems.append("lines held during the pause")
    if interrupt: problems = [f"{problem} ({interrupt} {delay:.3f} s in)" for problem in problems]
    if created and not existed and args.eol == "\n" and os.stat(target).st_mode & 0o7777 != 0o666 & ~UMASK:
        problems.append(f"output mode {os.stat(target).st_mode & 0o7777:o}, want {0o666 & ~UMASK:o}")
    if before is not None and snapshot(source) != before: problems.append("input was changed")
    if leftovers(workdir) and not interrupt.startswith("SIGKILL"): problems.append(f"left {leftovers(workdir)}")
    old = os.path.join(workdir, "old")  # Windows has no permission bits
    if done.returncode != 0 and paths[1:] != ["old"] and os.path.isfile(old) and snapshot(old) != b"old":
        problems.append("the old output changed")
    if args.eol == "\n" and os.path.exists(old) and os.stat(old).st_mode & 0o777 != 0o640:
        problems.append("the old output's mode changed")
    links_kept = [link for link in LINK_OUTPUTS if link in argv and not os.path.islink(
        os.path.join(workdir, link))]
    if links_kept: problems.append(f"{links_kept} no longer a link")
    return ("fail", "; ".join(problems)) if problems else ("pass", "")

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list-groups", action="store_true",
                        help="print the groups with a case that runs on the platform the other arguments describe")
    parser.add_argument("--exe")
    parser.add_argument("--prefix", default="", help="command that runs the converter, e.g. wine")
    parser.add_argument("--eol", default="lf", choices=["lf", "crlf"])
    parser.add_argument("--shim", default="", help="fault shim to preload into --preloadable")
    parser.add_argument("--preloadable", default="", help="a dynamically linked build of the converter")
    parser.add_argument("--guest-env-option", default="", help="prefix option that sets the program's environment (-E)")
    parser.add_argument("--group", default="")
    parser.add_argument("--project-version", help="the version --version must print")
    args = parser.parse_args()
    args.prefix, args.eol = shlex.split(args.prefix), "\r\n" if args.eol == "crlf" else "\n"
    args.exe, args.shim, args.preloadable = (p and os.path.abspath(p) for p in (args.exe, args.shim, args.preloadable))
    args.sanitized = os.path.isfile(args.preloadable) and b"__asan_init" in open(args.preloadable, "rb").read()
    runs = lambda case: not skip_reason(case[0], case[2], case_argv(case[3])[2], *case_argv(case[3])[:2], args)
    groups = list(dict.fromkeys(case[0] for case in CASES if not args.list_groups or runs(case)))
    if args.list_groups: return print("\n".join(groups))
    if not args.exe or not args.project_version: parser.error("--exe and --project-version are needed to run cases")
    if args.group and args.group not in groups: parser.error(f"no group {args.group!r}; the groups: {' '.join(groups)}")
    os.umask(UMASK)
    counts = {"pass": 0, "fail": 0, "skip": 0}
    for case in CASES:
        if args.group and case[0] != args.group: continue
        for attempt in range(2):  # a case is run again, once, where the wineserver itself went away
            with tempfile.TemporaryDirectory() as workdir:
                verdict, why = run_case(case, args, workdir)
            if "wine client error" not in why: break
            print(f"AGAIN {case[0]}: {case[1]}: {why[:200]}")
        counts[verdict] += 1
        if verdict != "pass": print(f"{verdict.upper()} {case[0]}: {case[1]}: {why}")
    print(f"{counts['pass']} passed, {counts['fail']} failed, {counts['skip']} skipped")
    if not counts["pass"] + counts["fail"]: print("no case ran: every case selected was skipped")
    return 1 if counts["fail"] or not counts["pass"] + counts["fail"] else 0

if __name__ == "__main__":
    sys.exit(main())
