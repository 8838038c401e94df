#!/usr/bin/env python3
"""An ascii stack back to binary with numpy.loadtxt, as a user of numpy would write it, for the benchmark:
    numpy_back.py --to-single | --to-double TEXT OUTPUT"""
import sys
import numpy

option, text, output = sys.argv[1:4]
dtype = numpy.dtype("<f4" if option == "--to-single" else "<f8")
with open(text) as f: header = [float(next(f).split("\t")[1]) for _ in range(12)]
cells = numpy.loadtxt(text, skiprows=12, dtype=dtype, ndmin=1)
with open(output, "wb") as f:
    numpy.array(header, dtype=dtype).tofile(f)
    cells.astype(dtype).tofile(f)
