#!/usr/bin/env python3
"""Runs a built converter on generated stacks and checks its exit status, both
console streams, whether the output file exists, its exact bytes, and that
the input is left byte-identical."""
import argparse, ctypes, math, os, random, shlex, struct, subprocess, sys, tempfile, threading

LABELS = "stack_ncols nrows xll yll cellsize nodata_value cnt min max sum average numlevels".split()
USAGE = ("converting stacks in Pelox binary format into stacks in ascii format\n"
         "usage: Kindor <input stack in binary format> <output stack in ascii format>\n")
def unrecognised(path="in"): return f"could not recognise file format (ascii, single or double) for {path}\n"
UNRECOGNISED = unrecognised()
HEADER = [2, 1, 0.5, 1.5, 1, -9999, 2, 3, 4, 7, 3.5, 1]
libc = ctypes.CDLL(None)

def printf_g(value):
    text = ctypes.create_string_buffer(64)
    libc.snprintf(text, 64, b"%g", ctypes.c_double(value))
    return text.value.decode()

def stack(kind, cells=(), header=HEADER, tail=b""):
    return struct.pack("<%d%s" % (12 + len(cells), kind), *header, *cells) + tail

def listing(kind, data):
    size = struct.calcsize(kind)
    values = struct.unpack("<%d%s" % (len(data) // size, kind), data[:len(data) // size * size])
    return "".join(f"{l}\t{printf_g(v)}\n" for l, v in zip(LABELS, values)) + \
        "".join(printf_g(v) + "\n" for v in values[12:])

def lines_within(text, size): return text[:text.rindex("\n", 0, size) + 1]

def cells_of(kind, texts):  # lets a number-text table read "value -> text"
    return stack(kind, [float(t) for t, _ in texts]), None, 0, "", "", listing(kind, stack(kind)) + "".join(x + "\n" for _, x in texts)

def random_values(rng, kind, count):
    width = 32 if kind == "f" else 64
    near = lambda text: math.nextafter(float(text), rng.choice((-math.inf, math.inf))) if rng.random() < 0.5 else float(text)
    out = []
    for i in range(count):
        pick = i % 7
        if pick == 0: out.append(struct.unpack("<" + kind, rng.getrandbits(width).to_bytes(width // 8, "little"))[0])
        elif pick == 1: out.append(rng.randint(-10**7, 10**7) * 10.0 ** rng.randint(-12, 6))
        elif pick == 2: out.append((rng.randint(100000, 999999) + 0.5) * 10.0 ** rng.randint(-310, 300))
        elif pick == 3: out.append(rng.uniform(-1e3, 1e3))
        elif pick == 4:  # exact ties in the seventh digit, which round to even
            out.append(rng.choice(((rng.randint(10**4, 10**5 - 1) * 4 + rng.choice((1, 3))) / 4,
                                   (rng.randint(10**5, 10**6 - 1) * 2 + 1) * 10 ** rng.randint(0, 9) / 2)))
        elif pick == 5: out.append(near(f"{rng.randint(100000, 999999)}5e{rng.randint(-330, 302)}"))  # near a decimal tie
        else: out.append(near(rng.choice(("9999995e%d", "1e%d")) % rng.randint(-330, 302)))  # carry and notation switches
    return [v for v in out if kind == "d" or abs(v) < 3.4e38 or v != v]

S24 = stack("f", [1.0] * 12)
D_AS_SINGLE = stack("d", [], [2, 1, struct.unpack("<d", bytes(4) + struct.pack("<f", -9999))[0]] + [1] * 9)
single_nan = struct.pack("<f", float("nan"))
CASES = [  # group, name, input bytes (None: no file), argv or fault, status, stdout, stderr, output (None: no file)
    ("usage", "no arguments", None, [], 1, USAGE, "", None),
    ("usage", "one argument", S24, ["in"], 1, USAGE, "", None),
    ("usage", "three arguments", S24, ["in", "out", "x"], 1, USAGE, "", None),
    ("open", "missing input", None, None, 99, "", "error opening input file in\n", None),
    ("open", "empty input path", None, ["", "out"], 99, "", "error opening input file \n", None),
    ("open", "input is a directory", "dir", None, 99, "", "error opening input file in\n", None),
    ("open", "path with spaces and a dash", None, ["-o my in", "out"], 99, "", "error opening input file -o my in\n", None),
    ("open", "leading dash", None, ["-o", "out"], 99, "", "error opening input file -o\n", None),
    ("open", "path over 4096 bytes", None, ["d" * 5000, "out"], 99, "", "error opening input file " + "d" * 5000 + "\n", None),
    ("open", "bytes that are not UTF-8", None, ["\udcff\udcfe\udc80.stack", "out"], 99, "", "error opening input file \udcff\udcfe\udc80.stack\n", None),
    ("open", "non-ASCII paths", S24, ["Ωμέγα 数据 é", "ausgabe_ü"], 0, "", "", listing("f", S24)),
    ("open", "missing non-ASCII path", None, ["données/数据", "out"], 99, "", "error opening input file données/数据\n", None),
    ("open", "output in a missing folder", S24, ["in", "nodir/out"], 98, "", "error opening output file nodir/out\n", None),
    ("recognise", "empty file", b"", None, 98, "", UNRECOGNISED, None),
    ("recognise", "ncol prefix", b"ncol", None, 0, "", "", ""),
    ("recognise", "ncols then anything", b"ncols 4\n\x00\xff" * 20, None, 0, "", "", ""),
    ("recognise", "upper case NCOL", b"NCOLS 4\n" * 20, None, 98, "", UNRECOGNISED, None),
    ("recognise", "three letters nco", b"nco", None, 98, "", UNRECOGNISED, None),
    ("recognise", "double, header only", stack("d"), None, 0, "", "", listing("d", stack("d"))),
    ("recognise", "single, 11 cells", stack("f", [1.0] * 11), None, 98, "", UNRECOGNISED, None),
    ("recognise", "single, 56-byte example", stack("f", [3, 4]), None, 98, "", UNRECOGNISED, None),
    ("recognise", "double nodata -9999.5", stack("d", [1], HEADER[:5] + [-9999.5] + HEADER[6:]), None, 98, "", UNRECOGNISED, None),
    ("recognise", "single nodata -99", stack("f", [1] * 12, HEADER[:5] + [-99] + HEADER[6:]), None, 98, "", UNRECOGNISED, None),
    ("recognise", "single nodata 0", stack("f", [1] * 12, HEADER[:5] + [0] + HEADER[6:]), None, 98, "", UNRECOGNISED, None),
    ("recognise", "single nodata NaN", S24[:20] + single_nan + S24[24:], None, 98, "", UNRECOGNISED, None),
    ("recognise", "single with double's pattern at 40", S24[:40] + struct.pack("<d", -9999) + S24[48:], None, 0, "", "",
     listing("d", S24[:40] + struct.pack("<d", -9999) + S24[48:96])),
    ("recognise", "double with single's pattern at 20", D_AS_SINGLE, None, 0, "", "", listing("f", D_AS_SINGLE)),
    ("recognise", "own listing as input", listing("d", stack("d", [3, 4])).encode(), None, 98, "", UNRECOGNISED, None),
    ("convert", "double example", stack("d", [3, 4]), None, 0, "", "", listing("d", stack("d", [3, 4]))),
    ("convert", "single, 12 cells", S24, None, 0, "", "", listing("f", S24)),
    ("convert", "single, 13 cells and 3 bytes", stack("f", [0.1] * 13, tail=b"abc"), None, 0, "", "", listing("f", stack("f", [0.1] * 13))),
    ("convert", "double, 2 cells and 7 bytes", stack("d", [3, 4], tail=b"1234567"), None, 0, "", "", listing("d", stack("d", [3, 4]))),
    ("convert", "cells past a 64 KiB block", stack("d", [i / 7 for i in range(20000)]), None, 0, "", "", listing("d", stack("d", [i / 7 for i in range(20000)]))),
    ("convert", "single, odd block edges", stack("f", [i * 1.5 for i in range(40000)], tail=b"x"), None, 0, "", "", listing("f", stack("f", [i * 1.5 for i in range(40000)]))),
    ("convert", "ascii input truncates old output", b"ncols 4", ["in", "old"], 0, "", "", ""),
    ("convert", "unrecognised keeps old output", b"NCOL", ["in", "old"], 98, "", UNRECOGNISED, "old"),
    ("numbers", "table of texts", *cells_of("d", [("100", "100"), ("-9999", "-9999"), ("0.5", "0.5"), (str(2 / 3), "0.666667"),
     ("1.5e6", "1.5e+06"), ("0.00001", "1e-05"), ("0.0001", "0.0001"), ("-0.0", "-0"), ("1234565", "1.23456e+06"),
     ("999999.5", "1e+06"), ("123456", "123456"), ("0.000123456", "0.000123456"), ("inf", "inf"), ("-inf", "-inf"), ("nan", "nan")])),
    ("numbers", "single nearest 0.1", *cells_of("f", [("0.1", "0.1")] * 12 + [("16777217", "1.67772e+07"), ("3.4028235e38", "3.40282e+38")])),
    ("same", "same path", S24, ["in", "in"], 98, "", "output file is the same as input file in\n", "INPUT"),
    ("same", "other spelling", S24, ["in", "./in"], 98, "", "output file is the same as input file ./in\n", "INPUT"),
    ("same", "symbolic link", S24, ["in", "link"], 98, "", "output file is the same as input file link\n", "INPUT"),
    ("same", "hard link", S24, ["in", "hard"], 98, "", "output file is the same as input file hard\n", "INPUT"),
    ("same", "ascii input, same path", b"ncols", ["in", "in"], 98, "", "output file is the same as input file in\n", "INPUT"),
    ("faults", "disk full at first line", S24, ["in", "/dev/full"], 98, "", "error writing output file /dev/full\n", None),
    ("faults", "disk full after 100 bytes", S24, "ENOSPC=100", 98, "", "error writing output file out\n", lines_within(listing("f", S24), 100)),
    ("faults", "disk full mid-cells", stack("d", [i / 3 for i in range(3000)]), "ENOSPC=5000", 98, "", "error writing output file out\n",
     lines_within(listing("d", stack("d", [i / 3 for i in range(3000)])), 5000)),
    ("faults", "read error mid-cells", stack("d", list(range(5000))), "EIO=20100", 99, "", "error reading input file in\n",
     listing("d", stack("d", list(range(2500))))),  # 20100 bytes = the probe (header), 2500 cells and 4 bytes
    ("faults", "read error in recognition", S24, "EIO=2", 99, "", "error reading input file in\n", None),
    ("faults", "read error right after the probe", stack("d", [3]), "EIO=96", 99, "", "error reading input file in\n", listing("d", stack("d"))),
    ("faults", "input ends inside a cell", stack("d", [3, 4]), "EOF=107", 0, "", "", listing("d", stack("d", [3]))),
    ("stream", "double on a pipe", stack("d", [3, 4]), ["/dev/stdin", "out"], 0, "", "", listing("d", stack("d", [3, 4]))),
    ("stream", "single on a pipe, odd tail", stack("f", [i / 9 for i in range(30000)], tail=b"zz"), ["/dev/stdin", "out"], 0, "", "",
     listing("f", stack("f", [i / 9 for i in range(30000)]))),
    ("stream", "ascii-form on a pipe", b"ncols 4\n" * 3, ["/dev/stdin", "out"], 0, "", "", ""),
    ("stream", "unrecognised on a pipe", b"NCOLS 4\n" * 20, ["/dev/stdin", "out"], 98, "", unrecognised("/dev/stdin"), None),
    ("stream", "too short on a pipe", stack("f", [1.0] * 11), ["/dev/stdin", "out"], 98, "", unrecognised("/dev/stdin"), None),
    ("stream", "stack through a FIFO", stack("d", [0.25] * 9000), ["fifo", "out"], 0, "", "", listing("d", stack("d", [0.25] * 9000))),
    ("stream", "output to a pipe", stack("d", [3, 4]), ["in", "/dev/stdout"], 0, listing("d", stack("d", [3, 4])), "", None),
    ("stream", "stdin redirected from the output", S24, ["/dev/stdin", "in"], 98, "", "output file is the same as input file in\n", "INPUT"),
]

def differential_cases(seed):
    rng = random.Random(seed)
    for kind, name in (("d", "double"), ("f", "single")):
        values = random_values(rng, kind, 3000)
        yield ("differential", f"{len(values)} random {name} values, seed {seed}", stack(kind, values), None, 0, "", "", listing(kind, stack(kind, values)))

def feed_fifo(path, data):  # in small pieces, as a slow producer writes; the reader may stop early
    try:
        with open(path, "wb") as fifo:
            for start in range(0, len(data), 1000): fifo.write(data[start:start + 1000])
    except BrokenPipeError: pass

def run_case(case, args, workdir):
    group, name, data, argv, status, out, err, expected = case
    env, exe = dict(os.environ), args.exe
    prefix, windows = list(args.prefix), args.eol == "\r\n"
    if isinstance(argv, str):  # fault injected by the preloaded shim
        if not args.shim: return "skip", "the preloaded fault shim works only on a dynamically linked Linux build"
        fault = {"LD_PRELOAD": args.shim, "OSTREL_FAULT": argv}
        if args.guest_env_option: prefix += [item for name, value in fault.items() for item in (args.guest_env_option, f"{name}={value}")]
        elif args.prefix: return "skip", "the preloaded fault shim would act on the command prefix too"
        else: env.update(fault)
        argv, exe = None, args.preloadable
    argv = ["in", "out"] if argv is None else argv
    if "/dev/full" in argv and windows: return "skip", "/dev/full is a Linux device the Windows runtime cannot open"
    if windows and any("\udc80" <= c <= "\udcff" for a in argv for c in a):
        return "skip", "a Windows command line holds no bytes that are not UTF-8"
    streamed = argv[:1] == ["/dev/stdin"] or argv[:1] == ["fifo"] or argv[1:2] == ["/dev/stdout"]
    if streamed and windows: return "skip", "Windows has no /dev/stdin, /dev/stdout or FIFOs"
    piped = argv[:1] == ["/dev/stdin"] and argv[1:] != ["in"]  # else stdin comes from the file "in"
    source = os.path.join(workdir, "in" if not argv or argv[0] in ("/dev/stdin", "fifo") else argv[0])
    if data == "dir": os.mkdir(source)
    elif data is not None and not piped and argv[:1] != ["fifo"]:
        with open(source, "wb") as f: f.write(data)
    if argv[:1] == ["fifo"]:
        os.mkfifo(os.path.join(workdir, "fifo"))
        threading.Thread(target=feed_fifo, args=(os.path.join(workdir, "fifo"), data), daemon=True).start()
    if "old" in argv:
        with open(os.path.join(workdir, "old"), "wb") as f: f.write(b"old")
    if "link" in argv: os.symlink("in", os.path.join(workdir, "link"))
    if "hard" in argv: os.link(os.path.join(workdir, "in"), os.path.join(workdir, "hard"))
    with open(source, "rb") if argv == ["/dev/stdin", "in"] else open(os.devnull, "rb") as stdin:
        done = subprocess.run(prefix + [exe] + argv, cwd=workdir, env=env, capture_output=True, timeout=60,
                              **({"input": data} if piped else {"stdin": stdin}))
    eol = lambda text: text.replace("\n", args.eol).encode("utf-8", "surrogateescape")
    target = os.path.join(workdir, argv[1] if len(argv) > 1 else "out")
    actual = open(target, "rb").read() if os.path.isfile(target) and not target.startswith("/dev/") else None
    want = None if expected is None else data if expected == "INPUT" else eol(expected)
    clip = lambda value: value[:300] if isinstance(value, bytes) else value
    problems = [f"{what}: got {clip(got)!r}, want {clip(exp)!r}" for what, got, exp in (
        ("status", done.returncode, status), ("stdout", done.stdout, eol(out)), ("stderr", done.stderr, eol(err)),
        ("output", actual, want)) if got != exp]
    if isinstance(data, bytes) and os.path.isfile(source) and open(source, "rb").read() != data: problems.append("input was changed")
    return ("fail", "; ".join(problems)) if problems else ("pass", "")

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--prefix", default="", help="command that runs the converter, e.g. wine")
    parser.add_argument("--eol", default="lf", choices=["lf", "crlf"])
    parser.add_argument("--shim", default="", help="fault shim to preload into --preloadable")
    parser.add_argument("--preloadable", default="", help="a dynamically linked build of the converter")
    parser.add_argument("--guest-env-option", default="", help="prefix option that sets the environment of the program it runs (qemu: -E)")
    parser.add_argument("--group", default="")
    parser.add_argument("--seed", type=int, default=20261206)
    args = parser.parse_args()
    args.prefix, args.eol = shlex.split(args.prefix), "\r\n" if args.eol == "crlf" else "\n"
    args.exe, args.shim, args.preloadable = (os.path.abspath(p) if p else "" for p in (args.exe, args.shim, args.preloadable))
    counts = {"pass": 0, "fail": 0, "skip": 0}
    for case in CASES + list(differential_cases(args.seed)):
        if args.group and case[0] != args.group: continue
        with tempfile.TemporaryDirectory() as workdir:
            verdict, why = run_case(case, args, workdir)
        counts[verdict] += 1
        if verdict != "pass": print(f"{verdict.upper()} {case[0]}: {case[1]}: {why}")
    print(f"{counts['pass']} passed, {counts['fail']} failed, {counts['skip']} skipped")
    return 1 if counts["fail"] else 0

if __name__ == "__main__":
    sys.exit(main())
