#!/usr/bin/env python3
"""pandas.read_csv's default parser against the exact value, on --exact texts of three kinds of data:
    python3 bench/pandas_reading.py build/Ostrel   (numpy and pandas: Debian's python3-pandas)"""
import array, os, random, subprocess, sys, tempfile
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import numpy, pandas
from run import make_stack, make_full_stack
def uniform(path, typecode, cells, seed):
    rng = random.Random(seed)
    values = array.array(typecode, [1000, cells // 1000, 0, 0, 1, -9999, 0, 0, 0, 0, 0, 1])
    values.extend(rng.uniform(-1000, 1000) for _ in range(cells))
    values.tofile(open(path, "wb"))
ostrel = os.path.abspath(sys.argv[1])
os.chdir(tempfile.mkdtemp())
for name, make in (("uniform doubles in ±1000", uniform), ("rounded measurements, 10 % nodata", make_stack),
                   ("full precision, mixed magnitude, 10 % nodata", make_full_stack)):
    make("s.stack", "d", 1_000_000, 3)
    subprocess.run([ostrel, "--exact", "s.stack", "s.txt"], check=True)
    exact = numpy.fromfile("s.stack", dtype="<f8")[12:]
    fast = pandas.read_csv("s.txt", skiprows=12, header=None)[0].to_numpy()
    exact_rt = pandas.read_csv("s.txt", skiprows=12, header=None, float_precision="round_trip")[0].to_numpy()
    print(f"{name}: default parser {numpy.mean(fast != exact):.1%} of 1,000,000 cells wrong, "
          f"round_trip {numpy.mean(exact_rt != exact):.1%}")
