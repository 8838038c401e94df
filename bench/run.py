#!/usr/bin/env python3
"""Times the converter against the floor of one write per line, the
straightforward iostream implementation and a buffered one; prints wall and
CPU time (medians, with the spread of the runs), lines per second and peak
resident memory, then the ratios and the targets. Where valgrind is
installed, also counts the instructions a line under callgrind, which do not
depend on the machine's load; --instructions-only does only that, and with
--budget fails when the converter's count a line is over it."""
import argparse, array, filecmp, os, random, re, shutil, statistics, struct, subprocess, sys, tempfile, time

def measurement_values(cells, typecode, seed):
    """A smooth field with about 10 % nodata, rounded as measurements are."""
    rng, level, values = random.Random(seed), 400.0, []
    for _ in range(cells):
        level += rng.gauss(0, 1.5)
        values.append(-9999.0 if rng.random() < 0.1 else round(level, rng.choice((1, 2, 3))))
    return values

def make_stack(path, typecode, cells, seed):
    values = array.array(typecode, [1000, cells // 1000 or 1, 250000.5, 6100000.25, 25, -9999, 0, 0, 0, 0, 0, 1])
    values.extend(measurement_values(cells, typecode, seed))
    if sys.byteorder != "little": values.byteswap()
    with open(path, "wb") as f: values.tofile(f)

def make_full_stack(path, typecode, cells, seed):
    """Full-precision values: every bit of the mantissa used, as a model computes them (about 10 % nodata)."""
    rng = random.Random(seed)
    values = array.array(typecode, [1000, cells // 1000 or 1, 250000.5, 6100000.25, 25, -9999, 0, 0, 0, 0, 0, 1])
    values.extend(-9999.0 if rng.random() < 0.1 else rng.uniform(-1, 1) * 10 ** rng.randint(-3, 4) for _ in range(cells))
    if sys.byteorder != "little": values.byteswap()
    with open(path, "wb") as f: values.tofile(f)

def make_value_stack(path, typecode, values):
    """A stack of these values, in one row."""
    header = [len(values), 1, 250000.5, 6100000.25, 25, -9999, 0, 0, 0, 0, 0, 1]
    stack = array.array(typecode, header + list(values))
    if sys.byteorder != "little": stack.byteswap()
    with open(path, "wb") as f: stack.tofile(f)

def uniform_values(cells, typecode, seed):
    """Uniform in -1000 to 1000, no nodata."""
    rng = random.Random(seed)
    return [rng.uniform(-1000, 1000) for _ in range(cells)]

def random_bit_values(cells, typecode, seed):
    """Random bit patterns, every finite value of the precision equally likely (no NaN or infinity)."""
    rng, size = random.Random(seed), 8 if typecode == "d" else 4
    values = []
    while len(values) < cells:
        value = struct.unpack("<" + typecode, rng.getrandbits(8 * size).to_bytes(size, "little"))[0]
        if value == value and abs(value) != float("inf"): values.append(value)
    return values

def rounded_values(cells, typecode, seed):
    """Measurements with 1 to 4 decimals, no nodata."""
    rng = random.Random(seed)
    return [round(rng.uniform(-1000, 1000), rng.randint(1, 4)) for _ in range(cells)]

LAUNCHER = []  # resource_usage, set in main

def timed(command):
    """Wall seconds, peak RSS in MiB, CPU seconds (user + system)."""
    start = time.perf_counter()
    report = subprocess.run(LAUNCHER + command, capture_output=True, text=True).stdout.split()
    elapsed = time.perf_counter() - start
    if not report or report[0] != "0": sys.exit(f"failed: {' '.join(command)}")
    return elapsed, int(report[1]) / 1024.0, float(report[2]) + float(report[3])

def compare(kind, stack, programs, runs, work):
    reference = os.path.join(work, "reference.txt")
    timed([programs["Ostrel"], stack, reference])
    lines = sum(1 for _ in open(reference, "rb"))
    times, cpu, memory = {name: [] for name in programs}, {name: [] for name in programs}, {name: 0.0 for name in programs}
    for _ in range(runs):  # alternate, so that a slow spell of the machine hits every program alike
        for name, program in programs.items():
            source = reference if name == "floor" else stack
            elapsed, rss, used = timed([program, source, os.path.join(work, name + ".txt")])
            times[name].append(elapsed)
            cpu[name].append(used)
            memory[name] = max(memory[name], rss)
    for name in (name for name in programs if name != "floor"):
        if not filecmp.cmp(reference, os.path.join(work, name + ".txt"), shallow=False):
            sys.exit(f"{name} wrote other bytes than Ostrel for the {kind} stack")
    # The same per-line writes to /dev/null: the system's share of each write
    # is then small and steady, so the CPU time left is the converter's own.
    null_cpu = {name: [] for name in programs if name.startswith("Ostrel") or name == "floor"}
    for _ in range(3 * runs):  # cheap runs, and the figure is small: more of them
        for name in null_cpu:
            null_cpu[name].append(timed([programs[name], reference if name == "floor" else stack, os.devnull])[2])
    median = {name: statistics.median(t) for name, t in times.items()}
    median_cpu = {name: statistics.median(t) for name, t in cpu.items()}
    spread = lambda values: (statistics.median(values), min(values), max(values))
    converters = [name for name in programs if name.startswith("Ostrel")]
    # pairs run back to back
    to_floor = {name: spread([o / f for o, f in zip(times[name], times["floor"])]) for name in converters}
    cpu_over = {name: spread([(o - f) / lines * 1e9 for o, f in zip(cpu[name], cpu["floor"])]) for name in converters}
    null_over = {name: spread([(o - f) / lines * 1e9 for o, f in zip(null_cpu[name], null_cpu["floor"])])
                 for name in converters}
    print(f"\n{kind} stack, {lines - 12:,} cells, median (min-max) of {runs} alternated runs")
    print("| program | wall s | CPU s (user + sys) | lines/s | peak RSS MiB |\n|---|---|---|---|---|")
    for name in programs:
        print(f"| {name} | {median[name]:.3f} ({min(times[name]):.3f}-{max(times[name]):.3f}) | "
              f"{median_cpu[name]:.3f} ({min(cpu[name]):.3f}-{max(cpu[name]):.3f}) | {lines / median[name]:,.0f} | {memory[name]:.1f} |")
    return {"median": median, "memory": memory, "lines": lines,
            "to_floor": to_floor, "cpu_over": cpu_over, "null_over": null_over,
            "null_cpu": {name: statistics.median(t) for name, t in null_cpu.items()}}

def truncated(path, cells, size, work):
    """The first cells of a stack (its header and cells of size bytes), or of a converter's text (lines)."""
    short = os.path.join(work, f"{cells}-{os.path.basename(path)}")
    with open(path, "rb") as whole, open(short, "wb") as part:
        if path.endswith(".txt"):  # its header made to count the cells kept, as the way back holds it to them
            counts = {0: f"stack_ncols\t{cells}\n", 1: "nrows\t1\n", 11: "numlevels\t1\n"}
            part.writelines(counts[index].encode() if index in counts else line
                            for index, line in zip(range(12 + cells), whole))
        else: part.write(whole.read((12 + cells) * size))
    return short

def compare_rows(title, rows, runs, work, counted, size, count_cells):
    """Alternated runs of each row (name, command, input, whether to count its
    instructions, the row its wall time is divided by or None): wall and CPU
    time, peak memory, the ratio in pairs run back to back, instructions a
    line (the first count_cells cells less the first 12, over the further
    lines), and, where strace is installed, the buffered rows' write calls a
    line."""
    wall, cpu, memory = {row[0]: [] for row in rows}, {row[0]: [] for row in rows}, {row[0]: 0.0 for row in rows}
    # Each row its own output: emptying another row's large output is no part of a row's time.
    output = lambda name: os.path.join(work, re.sub(r"\W+", "_", name) + ".out")
    for _ in range(runs):
        for name, command, source, _, _ in rows:
            elapsed, rss, used = timed(command + [source, output(name)])
            wall[name].append(elapsed)
            cpu[name].append(used)
            memory[name] = max(memory[name], rss)
    spread = lambda values: f"{statistics.median(values):.3f} ({min(values):.3f}-{max(values):.3f})"
    lines = sum(1 for _ in open(rows[0][2], "rb")) if rows[0][2].endswith(".txt") else os.path.getsize(rows[0][2]) // size
    print(f"\n{title}, {lines - 12:,} cells, median (min-max) of {runs} alternated runs")
    print("| program | wall s | CPU s (user + sys) | wall / | instructions a line | writes a line | peak RSS MiB |")
    print("|---|---|---|---|---|---|---|")
    for name, command, source, count, divisor in rows:
        ratio = f"{spread([o / d for o, d in zip(wall[name], wall[divisor])])} {divisor}" if divisor else ""
        out, per_line, writes = os.path.join(work, "counted.txt"), "", ""
        if counted and count:
            more, fewer = (instructions(command + [truncated(source, cells, size, work), out])
                           for cells in (count_cells, 12))
            per_line = f"{(more - fewer) / (count_cells - 12):.1f}"
        if shutil.which("strace") and "buffered" in name:  # a line each, where not buffered
            traced = subprocess.run(["strace", "-f", "-c", "-e", "trace=write"] + command + [source, out],
                                    capture_output=True, text=True).stderr.split("\n")
            calls = [int(line.split()[3]) for line in traced if line.endswith(" write")]
            writes = f"{calls[0] / lines:.4f}" if calls else ""
        print(f"| {name} | {spread(wall[name])} | {spread(cpu[name])} | {ratio} | {per_line} | {writes} | "
              f"{memory[name]:.1f} |")
    return wall

def compare_styles(kind, stack, ostrel, floor, styles, runs, work, counted, count_cells):
    """Each style of number text against the floor of its own text, with od's
    lossless text of the same doubles beside them."""
    size = 8 if kind.endswith("double") else 4
    rows = []
    for style in styles:
        name, text = style or "six digits", os.path.join(work, f"style{len(rows)}.txt")
        timed([ostrel, *style.split(), stack, text])
        rows += [(f"Ostrel {style}".strip(), [ostrel, *style.split()], stack, True, f"floor of {name}"),
                 (f"floor of {name}", [floor], text, True, None)]
    if size == 8 and shutil.which("od"):
        rows.append(("od -A n -v -t f8 -w8", ["/bin/sh", "-c", 'exec od -A n -v -t f8 -w8 "$0" > "$1"'], stack, False,
                     None))
    if rows: compare_rows(f"{kind} stack, styles of number text", rows, runs, work, counted, size, count_cells)

GDAL_TEXT = [shutil.which("gdal_translate") or "gdal_translate", "-q", "-of", "AAIGrid", "-co", "SIGNIFICANT_DIGITS=6"]

def gdal_view(stack, size, work):
    """No GDAL driver reads the stack itself: a VRT shows GDAL its cells as one raw band, the header's stack_ncols
    wide, as many whole rows as the stack holds, the first row at the top, as the ASCII grid writes it first."""
    with open(stack, "rb") as f: ncols = int(struct.unpack("<" + ("d" if size == 8 else "f"), f.read(size))[0])
    rows = (os.path.getsize(stack) // size - 12) // ncols
    vrt = os.path.join(work, os.path.basename(stack) + ".vrt")
    with open(vrt, "w") as f:
        f.write(f'<VRTDataset rasterXSize="{ncols}" rasterYSize="{rows}">\n'
                f'  <GeoTransform>0, 1, 0, {rows}, 0, -1</GeoTransform>\n'  # north up: rows in file order
                f'  <VRTRasterBand dataType="Float{8 * size}" band="1" subClass="VRTRawRasterBand">\n'
                f'    <SourceFilename relativeToVRT="0">{os.path.abspath(stack)}</SourceFilename>\n'
                f'    <ImageOffset>{12 * size}</ImageOffset><PixelOffset>{size}</PixelOffset>\n'
                f'    <LineOffset>{ncols * size}</LineOffset><ByteOrder>LSB</ByteOrder>\n'
                f'  </VRTRasterBand>\n</VRTDataset>\n')
    return vrt, ncols * rows

def check_gdal_agrees(vrt, cells, text, work):
    """GDAL's ASCII grid and Ostrel's text must hold the same text for every cell GDAL was shown."""
    grid = os.path.join(work, "gdal.asc")
    timed(GDAL_TEXT + [vrt, grid])
    with open(grid) as f: theirs = [word for line in f if not line[:1].isalpha() for word in line.split()]
    with open(text) as f: ours = [line.rstrip("\n") for line in f][12:12 + cells]
    differing = next((at for at, (a, b) in enumerate(zip(theirs, ours)) if a != b), None)
    if len(theirs) != cells or differing is not None:
        sys.exit(f"gdal_translate's text differs from Ostrel's: {len(theirs)} cells against {cells}, first difference "
                 f"at cell {differing}")
    print(f"gdal_translate's ASCII grid holds Ostrel's text for all {cells:,} cells")

GDAL_BACK = [shutil.which("gdal_translate") or "gdal_translate", "-q", "--config", "AAIGRID_DATATYPE", "Float64",
             "-of", "ENVI", "-ot", "Float64"]

def ascii_grid(text, ncols, work):
    """The text's cells as an ASCII grid, stack_ncols to a row, whole rows only: GDAL's input for the same cells."""
    with open(text) as f: cells = [line.rstrip("\n") for line in f][12:]
    rows, grid = len(cells) // ncols, os.path.join(work, "grid.asc")
    with open(grid, "w") as f:
        f.write(f"ncols {ncols}\nnrows {rows}\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n")
        f.writelines(" ".join(cells[row * ncols:(row + 1) * ncols]) + "\n" for row in range(rows))
    return grid, rows * ncols

def check_gdal_reads_back(grid, cells, back, work):
    """GDAL's raw Float64 cells must be the double stack Ostrel wrote back, cell for cell."""
    raw = os.path.join(work, "gdal.bin")
    timed(GDAL_BACK + [grid, raw])
    theirs, ours = array.array("d"), array.array("d")
    with open(raw, "rb") as f: theirs.frombytes(f.read())
    with open(back, "rb") as f: ours.frombytes(f.read()[12 * 8:(12 + cells) * 8])
    if sys.byteorder != "little": theirs.byteswap(), ours.byteswap()
    if theirs.tobytes() != ours.tobytes(): sys.exit("gdal_translate's cells differ from Ostrel --to-double's")
    print(f"gdal_translate's Float64 cells are Ostrel --to-double's for all {cells:,} cells")

def numpy_python():
    """This Python where it has numpy, else the system's (Debian's python3-numpy), else None."""
    for python in (sys.executable, "/usr/bin/python3"):
        if os.path.exists(python) and subprocess.run([python, "-c", "import numpy"], capture_output=True).returncode == 0:
            return python
    return None

NUMPY_PYTHON = numpy_python()
NUMPY_BACK = [NUMPY_PYTHON, os.path.join(os.path.dirname(os.path.abspath(__file__)), "numpy_back.py")]

def compare_back(kind, stack, ostrel, back_floor, runs, work, counted, count_cells):
    """--to-single or --to-double on the stack's six-digit and --exact texts, against the streaming floor, numpy's
    loadtxt and gdal_translate's ASCII grid to raw Float64; --exact's text must come back as the very stack.
    Returns Ostrel's ratio to each, in pairs run back to back."""
    size = 8 if kind.endswith("double") else 4
    option, ratios = "--to-double" if size == 8 else "--to-single", {}
    with open(stack, "rb") as f: ncols = int(struct.unpack("<" + ("d" if size == 8 else "f"), f.read(size))[0])
    for style in ("", "--exact"):
        text, back = os.path.join(work, "back.txt"), os.path.join(work, "back.stack")
        timed([ostrel, *style.split(), stack, text])
        timed([ostrel, option, text, back])
        if style and not filecmp.cmp(stack, back, shallow=False): sys.exit(f"{option} of --exact's text is not {kind}")
        ours = f"Ostrel {option}"
        rows = [(ours, [ostrel, option], text, True, "floor"), ("floor", [back_floor, option], text, True, None),
                ("floor, synced", [back_floor, "--synced", option], text, False, ours)]
        if NUMPY_PYTHON: rows.append(("numpy.loadtxt", NUMPY_BACK + [option], text, False, ours))
        if shutil.which("gdal_translate"):
            grid, cells = ascii_grid(text, ncols, work)
            if size == 8: check_gdal_reads_back(grid, cells, back, work)
            rows.append(("gdal_translate -of ENVI -ot Float64", GDAL_BACK, grid, False, ours))
        wall = compare_rows(f"{kind} stack, its {style or 'six-digit'} text back to binary", rows, runs, work, counted,
                            size, count_cells)
        for name in wall:
            if name != ours: ratios[(kind, style or "six digits", name)] = statistics.median(
                [o / d for o, d in zip(wall[ours], wall[name])])
    return ratios

def single_rounding(ostrel, work):
    """The single nearest 7.038531e-26 is 0x15ae43fd; read through a double first, it is 0x15ae43fe. One line: what
    Ostrel --to-single, numpy.loadtxt and GDAL's Float32 make of it."""
    text, stack = os.path.join(work, "single.txt"), os.path.join(work, "single.stack")
    labels = ["stack_ncols", "nrows", "xll", "yll", "cellsize", "nodata_value", "cnt", "min", "max", "sum", "average",
              "numlevels"]
    with open(text, "w") as f:
        f.write("".join(f"{label}\t{value}\n" for label, value in zip(labels, [1, 1, 0, 0, 1, -9999] + [0] * 5 + [1])))
        f.write("7.038531e-26\n")
    bits = lambda path, offset: f"0x{struct.unpack('<I', open(path, 'rb').read()[offset:offset + 4])[0]:08x}"
    subprocess.run([ostrel, "--to-single", text, stack], check=True)
    found = [f"Ostrel --to-single {bits(stack, 48)}"]
    if NUMPY_PYTHON:
        subprocess.run(NUMPY_BACK + ["--to-single", text, stack], check=True)
        found.append(f"numpy.loadtxt {bits(stack, 48)}")
    if shutil.which("gdal_translate"):
        grid, raw = os.path.join(work, "single.asc"), os.path.join(work, "single.raw")
        with open(grid, "w") as f: f.write("ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n7.038531e-26\n")
        subprocess.run(GDAL_BACK[:-1] + ["Float32", grid, raw], check=True)
        found.append(f"gdal_translate -ot Float32 {bits(raw, 0)}")
    return "single rounding of 7.038531e-26 (nearest single 0x15ae43fd): " + ", ".join(found)

def compare_buffered(kind, stack, programs, runs, work, counted, count_cells):
    """--buffered against the buffered writer, the default and its floor, and gdal_translate where installed."""
    size, text, ostrel = 8 if kind.endswith("double") else 4, os.path.join(work, "default.txt"), programs["Ostrel"]
    timed([ostrel, stack, text])
    rows = [("Ostrel --buffered", [ostrel, "--buffered"], stack, True, "buffered"),
            ("Ostrel --buffered --exact", [ostrel, "--buffered", "--exact"], stack, True, "Ostrel --buffered"),
            ("buffered", [programs["buffered"]], stack, True, None),
            ("Ostrel", [ostrel], stack, True, None), ("floor", [programs["floor"]], text, True, None)]
    if shutil.which("gdal_translate"):
        vrt, cells = gdal_view(stack, size, work)
        check_gdal_agrees(vrt, cells, text, work)
        rows.append(("gdal_translate -of AAIGrid", GDAL_TEXT, vrt, False, None))
    compare_rows(f"{kind} stack, --buffered", rows, runs, work, counted, size, count_cells)
    rows = [(name, command, source, False, "Ostrel") for name, command, source, _, _ in rows[:2]] + [rows[3]]
    compare_rows(f"{kind} stack, --buffered against the default", rows, runs, work, False, size, count_cells)
    # --info reads the whole stack and writes 30 lines: against --buffered, which writes a line a cell
    rows = [("Ostrel --info", [ostrel, "--info"], stack, True, "Ostrel --buffered"),
            ("Ostrel --buffered", [ostrel, "--buffered"], stack, False, None)]
    wall = compare_rows(f"{kind} stack, --info against --buffered", rows, runs, work, counted, size, count_cells)
    return statistics.median(o / b for o, b in zip(wall["Ostrel --info"], wall["Ostrel --buffered"]))

def startup(programs, example, work, runs=100):
    """Median ms of each converter on the example, and of true, alternated."""
    true = shutil.which("true") or "/bin/true"
    times = {name: [] for name in programs if name.startswith("Ostrel")}
    times["true"] = []
    for _ in range(runs):
        for name in times:
            times[name].append(timed([true] if name == "true" else [programs[name], example, os.path.join(work, "x.txt")])[0])
    return {name: [1000 * statistics.median(t), 1000 * min(t), 1000 * max(t)] for name, t in times.items()}

def instructions(command):
    """Instructions the whole run executes, counted by callgrind."""
    with tempfile.NamedTemporaryFile() as counts:
        done = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={counts.name}"] + command,
                              capture_output=True, text=True)
        if done.returncode != 0: sys.exit(f"failed under callgrind: {' '.join(command)}\n{done.stderr}")
        for line in open(counts.name):
            if line.startswith("summary:") or line.startswith("totals:"): return int(line.split()[1])
    sys.exit("callgrind wrote no total")

def instructions_a_line(programs, cells, work):
    """Instructions a line of each converter and of the floor: a stack's count
    less that of a stack of 12 cells (the start-up and the header; a
    single-precision stack has at least 12), over the further cells.
    Single-precision stacks hold the double stack's values."""
    counts = {}
    for kind, typecode in (("double", "d"), ("single", "f")):
        stack, empty = os.path.join(work, kind + ".stack"), os.path.join(work, kind + "-empty.stack")
        make_stack(stack, typecode, cells, 7)
        make_stack(empty, typecode, 12, 7)
        text, empty_text = os.path.join(work, kind + ".txt"), os.path.join(work, kind + "-empty.txt")
        for name in programs:
            if name == "floor": continue
            full = instructions([programs[name], stack, text])
            counts[(kind, name)] = (full - instructions([programs[name], empty, empty_text])) / (cells - 12)
        full = instructions([programs["floor"], text, os.path.join(work, "floor.txt")])
        base = instructions([programs["floor"], empty_text, os.path.join(work, "floor.txt")])
        counts[(kind, "floor")] = (full - base) / (cells - 12)
    return counts

def style_instructions(ostrel, styles, cells, work):
    """Instructions a line of each style of number text, on the benchmark's stack (values rounded as
    measurements are) and on full-precision values, in both precisions."""
    counts = {}
    for kind, typecode, make in (("rounded double", "d", make_stack), ("rounded single", "f", make_stack),
                                 ("full-precision double", "d", make_full_stack),
                                 ("full-precision single", "f", make_full_stack)):
        stack, empty, out = (os.path.join(work, name) for name in ("style.stack", "style-empty.stack", "style.txt"))
        make(stack, typecode, cells, 9)
        make(empty, typecode, 12, 9)
        for style in styles:
            command = [ostrel, *style.split()]
            counts[(kind, style)] = (instructions(command + [stack, out]) - instructions(command + [empty, out])) / (
                cells - 12)
    return counts

EXACT_STACKS = [("random bit patterns", random_bit_values), ("uniform in ±1000", uniform_values),
                ("rounded to 1-4 decimals", rounded_values)]  # no nodata: every line a full text

def exact_instructions(ostrel, cells, work):
    """--exact's instructions a line on stacks without nodata, in both precisions."""
    counts = {}
    for name, values in EXACT_STACKS:
        for kind, typecode in (("double", "d"), ("single", "f")):
            runs = []
            for count in (cells, 12):
                stack = os.path.join(work, f"exact{count}.stack")
                make_value_stack(stack, typecode, values(count, typecode, 5))
                runs.append(instructions([ostrel, "--exact", stack, os.path.join(work, "exact.txt")]))
            counts[(name, kind)] = (runs[0] - runs[1]) / (cells - 12)
    return counts

def print_exact_instructions(counts, cells, budget):
    print(f"\n--exact's instructions a line on stacks without nodata ({cells:,} cells, less the count for 12)")
    print("| stack | double | single |")
    print("|---|---|---|")
    for name, _ in EXACT_STACKS: print(f"| {name} | {counts[(name, 'double')]:.1f} | {counts[(name, 'single')]:.1f} |")
    worst = max(counts.values())
    print(f"- the most, {worst:.1f}, is {worst - 150:+.1f} from 150" +
          (f"; budget {budget}: " + ("met" if worst <= budget else "MISSED") if budget else ""))
    return not (budget and worst > budget)

BACK_TEXTS = [  # name, stack's typecode, its values, style, budget a line
    ("--exact doubles in ±1000 → double", "d", uniform_values, "--exact", 210),
    ("the same cells, six digits → double", "d", uniform_values, "", 150),
    ("--exact singles in ±1000 → single", "f", uniform_values, "--exact", 175),
    ("measurements, 10 % nodata → double", "d", measurement_values, "", 150),
    ("the same → single", "f", measurement_values, "", 150)]

def back_instructions(programs, cells, work):
    """Instructions a line of --to-double and --to-single (and of the floor where built) on the texts of
    BACK_TEXTS: the text's count less that of its first 12 cells, over the further lines."""
    counts = {}
    for name, typecode, values, style, _ in BACK_TEXTS:
        option = "--to-double" if typecode == "d" else "--to-single"
        texts = []
        for count in (cells, 12):
            stack, text = os.path.join(work, f"back{count}.stack"), os.path.join(work, f"back{count}.txt")
            make_value_stack(stack, typecode, values(count, typecode, 7))
            subprocess.run([programs["Ostrel"], *style.split(), stack, text], check=True)
            texts.append(text)
        for program in ("Ostrel", "floor of the way back"):
            if program not in programs: continue
            more, fewer = (instructions([programs[program], option, text, os.path.join(work, "back.out")])
                           for text in texts)
            counts[(name, program)] = (more - fewer) / (cells - 12)
    return counts

def print_back_instructions(counts, cells, judged):
    print(f"\ninstructions a line back to binary under callgrind ({cells:,} cells, less the count for 12)")
    print("| text | Ostrel | floor | Ostrel / floor | budget |")
    print("|---|---|---|---|---|")
    over = []
    for name, _, _, _, budget in BACK_TEXTS:
        ours, floor = counts[(name, "Ostrel")], counts.get((name, "floor of the way back"))
        ratio = f"{ours / floor:.2f}" if floor else ""
        print(f"| {name} | {ours:.1f} | {floor or 0:.1f} | {ratio} | {budget} |")
        if ours > budget: over.append(f"{name} {ours:.1f}")
    if judged: print("- way-back budgets: " + ("met" if not over else "MISSED: " + "; ".join(over)))
    return not (judged and over)

def print_style_instructions(counts, cells, exact_budget):
    styles = list(dict.fromkeys(style for _, style in counts))
    print(f"\ninstructions a line of each style under callgrind ({cells:,} cells, less the count for 12)")
    print("| stack | " + " | ".join(style or "six digits" for style in styles) + " |")
    print("|---|" + "---|" * len(styles))
    for kind in dict.fromkeys(kind for kind, _ in counts):
        print(f"| {kind} | " + " | ".join(f"{counts[(kind, style)]:.1f}" for style in styles) + " |")
    over = [f"{kind} {count:.1f}" for (kind, style), count in counts.items() if style == "--exact" and count > exact_budget]
    if exact_budget: print(f"- --exact budget {exact_budget} a line: " + ("met" if not over else "MISSED: " + ", ".join(over)))
    return not (exact_budget and over)

def print_instructions(counts, cells, budget):
    print(f"\ninstructions a line under callgrind ({cells:,} cells, less the count for 12)")
    print("| program | double | single |\n|---|---|---|")
    for name in dict.fromkeys(name for _, name in counts):
        print(f"| {name} | {counts[('double', name)]:.1f} | {counts[('single', name)]:.1f} |")
    over = [f"{kind} {name} {count:.1f}" for (kind, name), count in counts.items()
            if name in ("Ostrel", "Ostrel static") and budget and count > budget]
    if budget: print(f"- budget {budget} a line: " + ("met" if not over else "MISSED: " + ", ".join(over)))
    return not over

def verdict(ok): return "met" if ok else "MISSED"

def time_back_only(programs, back_floor, args):
    """The way back against its floor, numpy and GDAL, and --buffered --exact against --buffered on full-precision
    doubles without nodata (uniform in ±1000): times only, each median (min-max) of --runs alternated runs."""
    with tempfile.TemporaryDirectory(dir=os.environ.get("OSTREL_BENCH_DIR")) as work:
        ratios = {}
        for kind, typecode in (("double", "d"), ("single", "f")):
            stack = os.path.join(work, kind + ".stack")
            make_stack(stack, typecode, args.cells, 7)
            ratios.update(compare_back(kind, stack, programs["Ostrel"], back_floor, args.runs, work, False, 0))
        stack, ostrel = os.path.join(work, "uniform.stack"), programs["Ostrel"]
        make_value_stack(stack, "d", uniform_values(args.cells, "d", 5))
        rows = [("Ostrel --buffered --exact", [ostrel, "--buffered", "--exact"], stack, False, "Ostrel --buffered"),
                ("Ostrel --buffered", [ostrel, "--buffered"], stack, False, None)]
        wall = compare_rows("doubles uniform in ±1000, no nodata, --buffered --exact against --buffered", rows,
                            args.runs, work, False, 8, 0)
        print("\ntargets")
        for (kind, style, other), ratio in ratios.items():
            print(f"- back to binary, {kind}, {style} text: Ostrel/{other} wall {ratio:.3f}" +
                  (f" (at most 1.2: {verdict(ratio <= 1.2)})" if other.startswith("floor") else ""))
        ratio = statistics.median(e / b for e, b in zip(wall["Ostrel --buffered --exact"], wall["Ostrel --buffered"]))
        print(f"- --buffered --exact / --buffered, doubles without nodata: {ratio:.3f} (at most 1.5: {verdict(ratio <= 1.5)})")
        print(f"- {single_rounding(ostrel, work)}")
    return 0

def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin-dir", default=os.path.join(here, "..", "build"))
    parser.add_argument("--cells", type=int, default=2_000_000)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--large", type=int, default=0, help="also measure memory on a double stack of this many cells")
    parser.add_argument("--static-bin-dir", default="", help="a static build's folder, to time its Ostrel as well")
    parser.add_argument("--also", action="append", default=[], metavar="NAME=PATH",
                        help="another converter to count and time alongside, e.g. 'Ostrel 1.1.0=old/Ostrel'")
    parser.add_argument("--instruction-cells", type=int, default=200_000, help="stack size for callgrind's counts")
    parser.add_argument("--instructions-only", action="store_true", help="only count instructions under callgrind")
    parser.add_argument("--budget", type=float, default=0, help="fail when Ostrel's instructions a line exceed this")
    parser.add_argument("--exact-budget-without-nodata", type=float, default=0,
                        help="fail when --exact's instructions a line exceed this on any stack without nodata")
    parser.add_argument("--back-budgets", action="store_true",
                        help="fail when --to-double or --to-single is over its budget a line on any text")
    parser.add_argument("--exact-budget", type=float, default=0,
                        help="fail when --exact's instructions a line exceed this, on any of the styles' stacks")
    parser.add_argument("--styles", nargs="*", default=["", "--exact", "--digits 17", "--buffered", "--buffered --exact",
                                                         "--buffered --digits 17"],
                        help="number-text options to time against the floor of their own text (none: skip)")
    parser.add_argument("--back-only", action="store_true",
                        help="time only the way back (and --buffered --exact on doubles without nodata), no callgrind")
    args = parser.parse_args()
    bins = os.path.abspath(args.bin_dir)
    programs = {"Ostrel": os.path.join(bins, "Ostrel"), "floor": os.path.join(bins, "bench", "bench_floor"),
                "straightforward": os.path.join(bins, "bench", "bench_straightforward"),
                "buffered": os.path.join(bins, "bench", "bench_buffered")}
    back_floor = {"floor of the way back": os.path.join(bins, "bench", "bench_back_floor")}
    if args.static_bin_dir: programs["Ostrel static"] = os.path.join(os.path.abspath(args.static_bin_dir), "Ostrel")
    for other in args.also:
        name, path = other.split("=", 1)
        programs[name] = os.path.abspath(path)
    LAUNCHER.append(os.path.join(bins, "bench", "bench_resource_usage"))
    counted, within = shutil.which("valgrind") is not None, True
    if args.instructions_only and not counted: sys.exit("--instructions-only needs valgrind")
    if args.back_only: sys.exit(time_back_only(programs, back_floor["floor of the way back"], args))
    if counted:
        with tempfile.TemporaryDirectory(dir=os.environ.get("OSTREL_BENCH_DIR")) as work:
            counts = {name: path for name, path in programs.items()
                      if name.startswith("Ostrel") or name == "floor"}
            within = print_instructions(instructions_a_line(counts, args.instruction_cells, work),
                                        args.instruction_cells, args.budget)
            # --buffered changes the writes, not the text: the styles are counted without it.
            styles = [style for style in args.styles if "--buffered" not in style] or ["", "--exact"]
            within &= print_style_instructions(style_instructions(programs["Ostrel"], styles, args.instruction_cells,
                                                                  work), args.instruction_cells, args.exact_budget)
            within &= print_exact_instructions(exact_instructions(programs["Ostrel"], args.instruction_cells, work),
                                               args.instruction_cells, args.exact_budget_without_nodata)
            within &= print_back_instructions(back_instructions({**programs, **back_floor}, args.instruction_cells, work),
                                              args.instruction_cells, args.back_budgets)
        if args.instructions_only: sys.exit(0 if within else 1)
    with tempfile.TemporaryDirectory(dir=os.environ.get("OSTREL_BENCH_DIR")) as work:
        results = {}
        for kind, typecode in (("double", "d"), ("single", "f")):
            stack = os.path.join(work, kind + ".stack")
            make_stack(stack, typecode, args.cells, 7)
            results[kind] = compare(kind, stack, programs, args.runs, work)
            os.remove(stack)
        info_ratios = {}
        for kind, typecode, make in (("double", "d", make_stack), ("full-precision double", "d", make_full_stack),
                                     ("full-precision single", "f", make_full_stack)):
            stack = os.path.join(work, kind.replace(" ", "-") + ".stack")
            make(stack, typecode, args.cells, 9)
            cells = min(args.instruction_cells, args.cells)
            compare_styles(kind, stack, programs["Ostrel"], programs["floor"], args.styles, args.runs, work, counted,
                           cells)
            if kind.endswith("double"):
                info_ratios[kind] = compare_buffered(kind, stack, programs, args.runs, work, counted, cells)
            os.remove(stack)
        back_ratios = {}
        for kind, typecode in (("double", "d"), ("single", "f")):
            stack = os.path.join(work, kind + ".stack")
            make_stack(stack, typecode, args.cells, 7)
            back_ratios.update(compare_back(kind, stack, programs["Ostrel"], back_floor["floor of the way back"],
                                            args.runs, work, counted, min(args.instruction_cells, args.cells)))
            os.remove(stack)
        single_line = single_rounding(programs["Ostrel"], work)
        started = startup(programs, os.path.join(here, "..", "examples", "example_double.stack"), work)
        large_rss = None
        if args.large:
            stack = os.path.join(work, "large.stack")
            make_stack(stack, "d", args.large // 1000 * 1000, 8)  # 1000 columns: its header counts its cells
            large_rss = timed([programs["Ostrel"], stack, os.path.join(work, "large.txt")])[1]
            os.remove(stack)
            large_back_rss = timed([programs["Ostrel"], "--to-double", os.path.join(work, "large.txt"), stack])[1]
    print("\nstart-up on the 112-byte example, median (min-max) of 100 alternated: " +
          ", ".join(f"{name} {ms:.2f} ms ({low:.2f}-{high:.2f})" for name, (ms, low, high) in started.items()))
    print("\ntargets")
    for kind, result in results.items():
        median, memory = result["median"], result["memory"]
        for name in result["to_floor"]:
            (to_floor, low, high), (over, over_low, over_high) = result["to_floor"][name], result["cpu_over"][name]
            null_over, null_low, null_high = result["null_over"][name]
            speedup = median["straightforward"] / median[name]
            print(f"- {kind}, {name}: Ostrel/floor {to_floor:.3f} ({low:.3f}-{high:.3f}; at most 1.05: "
                  f"{verdict(to_floor <= 1.05)}); CPU over the floor {over:.1f} ns a line into a file "
                  f"({over_low:.1f}-{over_high:.1f}), {null_over:.1f} ns into /dev/null ({null_low:.1f}-{null_high:.1f}; "
                  f"CPU s {result['null_cpu'][name]:.3f} against {result['null_cpu']['floor']:.3f}; at most 30: "
                  f"{verdict(null_over <= 30)}); straightforward/Ostrel {speedup:.2f} (at least 1.3: "
                  f"{verdict(speedup >= 1.3)}); peak RSS {memory[name]:.1f} MiB (at most 4: {verdict(memory[name] <= 4)}); "
                  f"buffered/Ostrel {median['buffered'] / median[name]:.3f}")
    for name in started:
        if name != "true":
            over = started[name][0] - started["true"][0]
            print(f"- start-up, {name}: {over:+.2f} ms over true (within 3: {verdict(over <= 3)})")
    for (kind, style, other), ratio in back_ratios.items():
        if other.startswith("floor"):
            print(f"- back to binary, {kind}, {style} text: Ostrel/{other} wall {ratio:.3f} (at most 1.2: "
                  f"{verdict(ratio <= 1.2)})")
        else:
            print(f"- back to binary, {kind}, {style} text: {other} takes {1 / ratio:.2f} times Ostrel's wall time")
    print(f"- {single_line}")
    for kind, ratio in info_ratios.items():
        print(f"- --info, {kind} stack: wall / --buffered's {ratio:.3f} (at most 0.25: {verdict(ratio <= 0.25)})")
    if large_rss is not None:
        print(f"- {args.large:,} cells: peak RSS {large_rss:.1f} MiB (at most 4: {verdict(large_rss <= 4)}); back to "
              f"binary {large_back_rss:.1f} MiB (at most 4: {verdict(large_back_rss <= 4)})")
    sys.exit(0 if within else 1)  # only the instruction budget, which cannot flake, fails the run

if __name__ == "__main__":
    main()
