#!/usr/bin/env python3
"""Throughput of tpc's decode from Python: a batch of 1,000 default (64,57)^2 blocks at
Eb/N0 3.0 dB, 64 passes, weights 7/16, the node's quantiser, on one and two threads, beside
the C++ benchmark of the decoder alone (FastDecode/default/64passes/3.0dB, fastest path).

Needs the tpc package and NumPy; --cpp needs the C++ benchmark (make native, or
cmake --build build/native --target tpc_bench). From the repository root, with the package
built in the tree by make python:

    PYTHONPATH=build/native/python /usr/bin/python3 python/benchmarks/decode_throughput.py \
        [--cpp build/native/tpc_bench] [--repeats 9]

or, with tpc installed (python -m pip install --no-build-isolation .),
    python python/benchmarks/decode_throughput.py

The Python figure covers the whole call: quantising the amplitudes, decoding, and writing
decisions, information bits and passes. The C++ benchmark decodes ready channel values.
Each figure is the best of --repeats runs (the machine may be shared), with the median beside it.
"""
import argparse
import json
import statistics
import subprocess
import time

import numpy as np

import tpc

CPP_FILTER = "FastDecode/default/64passes/3.0dB"


def batch(code, blocks, ebn0_db, seed=1):
    rng = np.random.default_rng(seed)
    bits = rng.integers(0, 2, (blocks, code.K), dtype=np.uint8)
    sigma = np.sqrt(1.0 / (2.0 * code.rate * 10 ** (ebn0_db / 10)))
    return bits, 2.0 * code.encode(bits) - 1.0 + sigma * rng.standard_normal((blocks, code.N))


def python_figures(code, received, threads, repeats):
    """(best, median) wall seconds of one decode of the batch, and the CPU seconds of the best."""
    code.decode(received[:50], threads=threads)  # first use: workspaces, CPU checks
    walls, cpus = [], []
    for _ in range(repeats):
        wall, cpu = time.perf_counter(), time.process_time()
        code.decode(received, threads=threads)
        walls.append(time.perf_counter() - wall)
        cpus.append(time.process_time() - cpu)
    best = min(range(repeats), key=walls.__getitem__)
    return walls[best], statistics.median(walls), cpus[best]


def cpp_figures(program, path, repeats, k):
    """Information Mbit/s of the C++ benchmark on the path, best of its repetitions: by wall
    time and by CPU time."""
    out = subprocess.run([program, f"--benchmark_filter={CPP_FILTER}/path:{path}$",
                          f"--benchmark_repetitions={repeats}", "--benchmark_format=json"],
                         check=True, capture_output=True, text=True).stdout
    runs = [b for b in json.loads(out)["benchmarks"] if b.get("run_type") == "iteration"]
    assert all(b["time_unit"] == "us" for b in runs)
    return (max(k / b["real_time"] for b in runs), max(k / b["cpu_time"] for b in runs))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cpp", help="tpc_bench to run beside (built with -DTPC_BENCH=ON)")
    parser.add_argument("--repeats", type=int, default=9)
    parser.add_argument("--blocks", type=int, default=1000)
    args = parser.parse_args()

    code = tpc.ProductCode("64,57x64,57")
    bits, received = batch(code, args.blocks, 3.0)
    print(f"code {code}, {args.blocks} blocks at Eb/N0 3.0 dB, 64 passes, fastest path {code.fastest_path}")
    one = None
    for threads in (1, 2):
        best, median, cpu = python_figures(code, received, threads, args.repeats)
        mbits = args.blocks * code.K / best / 1e6
        one = one or (mbits, args.blocks * code.K / cpu / 1e6)
        print(f"python threads={threads}: {args.blocks / best:6.0f} blocks/s, {mbits:6.2f} info Mbit/s "
              f"(median {args.blocks * code.K / median / 1e6:6.2f}; CPU {cpu / args.blocks * 1e6:5.1f} us/block)"
              + (f", {mbits / one[0]:.2f}x one thread" if threads > 1 else ""))
    if args.cpp:
        path = {"avx512": 4, "avx2": 3, "sse2": 2, "portable": 1}[code.fastest_path]
        wall, cpu = cpp_figures(args.cpp, path, args.repeats, code.K)
        print(f"C++ {CPP_FILTER}/path:{path}: {wall:6.2f} info Mbit/s by wall time, {cpu:6.2f} by CPU time")
        print(f"python one thread / C++: {one[0] / wall:.0%} by wall time, {one[1] / cpu:.0%} by CPU time")


if __name__ == "__main__":
    main()
