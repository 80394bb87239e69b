#!/usr/bin/env python3
"""Bit error rate of the default (64,57)^2 code over BPSK and AWGN, against uncoded BPSK.

Needs the tpc package, NumPy and Matplotlib (Debian: python3-numpy, python3-matplotlib). From the
repository root, with the package built in the tree by make python:

    PYTHONPATH=build/native/python /usr/bin/python3 examples/python/ber_curve.py [ber_curve.png]

or, with tpc installed (python -m pip install --no-build-isolation .),
    python examples/python/ber_curve.py
"""
import math
import sys

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import tpc

code = tpc.ProductCode("64,57x64,57")
rng = np.random.default_rng(1)
points = np.arange(2.0, 3.21, 0.2)
ber = []
for ebn0 in points:
    sigma = math.sqrt(1 / (2 * code.rate * 10 ** (ebn0 / 10)))  # unit amplitude: Eb = 1 / rate
    errors = blocks = failed = 0
    while failed < 50 and blocks < 5000:  # 50 blocks in error, or 5000 blocks
        bits = rng.integers(0, 2, (500, code.K), dtype=np.uint8)
        received = 2.0 * code.encode(bits) - 1.0 + sigma * rng.standard_normal((500, code.N))
        wrong = np.count_nonzero(code.decode(received, threads=2).info != bits, axis=1)
        errors, blocks, failed = errors + wrong.sum(), blocks + 500, failed + np.count_nonzero(wrong)
    ber.append(errors / (blocks * code.K))
    print(f"Eb/N0 {ebn0:.1f} dB: BER {ber[-1]:.2e} ({errors} bit errors in {blocks} blocks)")

uncoded = np.linspace(0, 10, 101)
plt.semilogy(uncoded, [0.5 * math.erfc(math.sqrt(10 ** (x / 10))) for x in uncoded], ":k", label="uncoded BPSK")
measured = np.array(ber) > 0
plt.semilogy(points[measured], np.array(ber)[measured], "o-", label=f"TPC {code}, rate {code.rate:.3f}")
plt.xlabel("Eb/N0 (dB)"), plt.ylabel("bit error rate"), plt.ylim(1e-7, 1), plt.grid(True, which="both", alpha=0.3)
plt.legend()
out = sys.argv[1] if len(sys.argv) > 1 else "ber_curve.png"
plt.savefig(out, dpi=120)
print(f"wrote {out}")
