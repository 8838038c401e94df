#!/usr/bin/env python3
"""Times the converter against the floor of one write per line, the
straightforward iostream implementation and a buffered one; prints wall and
CPU time (medians, with the spread of the runs), lines per second and peak
resident memory, then the ratios and the targets."""
import argparse, array, filecmp, os, random, shutil, statistics, subprocess, sys, tempfile, time

def make_stack(path, typecode, cells, seed):
    rng = random.Random(seed)
    values = array.array(typecode, [1000, cells // 1000 or 1, 250000.5, 6100000.25, 25, -9999, 0, 0, 0, 0, 0, 1])
    level = 400.0
    for _ in range(cells):  # a smooth field with about 10 % nodata, rounded as measurements are
        level += rng.gauss(0, 1.5)
        values.append(-9999.0 if rng.random() < 0.1 else round(level, rng.choice((1, 2, 3))))
    if sys.byteorder != "little": values.byteswap()
    with open(path, "wb") as f: values.tofile(f)

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
    for name in ("Ostrel", "straightforward", "buffered"):
        if not filecmp.cmp(reference, os.path.join(work, name + ".txt"), shallow=False):
            sys.exit(f"{name} wrote other bytes than Ostrel for the {kind} stack")
    # The same per-line writes to /dev/null: the system's share of each write
    # is then small and steady, so the CPU time left is the converter's own.
    null_cpu = {"Ostrel": [], "floor": []}
    for _ in range(3 * runs):  # cheap runs, and the figure is small: more of them
        for name in null_cpu:
            null_cpu[name].append(timed([programs[name], reference if name == "floor" else stack, os.devnull])[2])
    null_over = [(o - f) / lines * 1e9 for o, f in zip(null_cpu["Ostrel"], null_cpu["floor"])]
    median = {name: statistics.median(t) for name, t in times.items()}
    median_cpu = {name: statistics.median(t) for name, t in cpu.items()}
    ratios = [o / f for o, f in zip(times["Ostrel"], times["floor"])]  # pairs run back to back
    cpu_over = [(o - f) / lines * 1e9 for o, f in zip(cpu["Ostrel"], cpu["floor"])]
    print(f"\n{kind} stack, {lines - 12:,} cells, median (min-max) of {runs} alternated runs")
    print("| program | wall s | CPU s (user + sys) | lines/s | peak RSS MiB |\n|---|---|---|---|---|")
    for name in programs:
        print(f"| {name} | {median[name]:.3f} ({min(times[name]):.3f}-{max(times[name]):.3f}) | "
              f"{median_cpu[name]:.3f} ({min(cpu[name]):.3f}-{max(cpu[name]):.3f}) | {lines / median[name]:,.0f} | {memory[name]:.1f} |")
    return {"median": median, "memory": memory, "lines": lines,
            "to_floor": (statistics.median(ratios), min(ratios), max(ratios)),
            "cpu_over": (statistics.median(cpu_over), min(cpu_over), max(cpu_over)),
            "null_over": (statistics.median(null_over), min(null_over), max(null_over)),
            "null_cpu": {name: statistics.median(t) for name, t in null_cpu.items()}}

def startup(programs, example, work, runs=20):
    true = shutil.which("true") or "/bin/true"
    ostrel, floor = [], []
    for _ in range(runs):
        ostrel.append(timed([programs["Ostrel"], example, os.path.join(work, "example.txt")])[0])
        floor.append(timed([true])[0])
    return statistics.median(ostrel) * 1000, statistics.median(floor) * 1000

def verdict(ok): return "met" if ok else "MISSED"

def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin-dir", default=os.path.join(here, "..", "build"))
    parser.add_argument("--cells", type=int, default=2_000_000)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--large", type=int, default=0, help="also measure memory on a double stack of this many cells")
    args = parser.parse_args()
    bins = os.path.abspath(args.bin_dir)
    programs = {"Ostrel": os.path.join(bins, "Ostrel"), "floor": os.path.join(bins, "bench", "bench_floor"),
                "straightforward": os.path.join(bins, "bench", "bench_straightforward"),
                "buffered": os.path.join(bins, "bench", "bench_buffered")}
    LAUNCHER.append(os.path.join(bins, "bench", "bench_resource_usage"))
    with tempfile.TemporaryDirectory(dir=os.environ.get("OSTREL_BENCH_DIR")) as work:
        results = {}
        for kind, typecode in (("double", "d"), ("single", "f")):
            stack = os.path.join(work, kind + ".stack")
            make_stack(stack, typecode, args.cells, 7)
            results[kind] = compare(kind, stack, programs, args.runs, work)
            os.remove(stack)
        started, floor_start = startup(programs, os.path.join(here, "..", "examples", "example_double.stack"), work)
        large_rss = None
        if args.large:
            stack = os.path.join(work, "large.stack")
            make_stack(stack, "d", args.large, 8)
            large_rss = timed([programs["Ostrel"], stack, os.path.join(work, "large.txt")])[1]
    print(f"\nstart-up on the 112-byte example, median of 20: Ostrel {started:.2f} ms, true {floor_start:.2f} ms")
    print("\ntargets")
    for kind, result in results.items():
        median, memory = result["median"], result["memory"]
        (to_floor, low, high), (over, over_low, over_high) = result["to_floor"], result["cpu_over"]
        null_over, null_low, null_high = result["null_over"]
        speedup = median["straightforward"] / median["Ostrel"]
        print(f"- {kind}: Ostrel/floor {to_floor:.3f} ({low:.3f}-{high:.3f}; at most 1.05: {verdict(to_floor <= 1.05)}); "
              f"CPU over the floor {over:.1f} ns a line into a file ({over_low:.1f}-{over_high:.1f}), "
              f"{null_over:.1f} ns into /dev/null ({null_low:.1f}-{null_high:.1f}; CPU s {result['null_cpu']['Ostrel']:.3f} "
              f"against {result['null_cpu']['floor']:.3f}; at most 30: {verdict(null_over <= 30)}); "
              f"straightforward/Ostrel {speedup:.2f} (at least 1.3: {verdict(speedup >= 1.3)}); "
              f"peak RSS {memory['Ostrel']:.1f} MiB (at most 4: {verdict(memory['Ostrel'] <= 4)}); "
              f"buffered/Ostrel {median['buffered'] / median['Ostrel']:.3f}")
    print(f"- start-up: {started - floor_start:+.2f} ms over true (within 1.5: {verdict(started - floor_start <= 1.5)})")
    if large_rss is not None:
        print(f"- {args.large:,} cells: peak RSS {large_rss:.1f} MiB (at most 4: {verdict(large_rss <= 4)})")

if __name__ == "__main__":
    main()
