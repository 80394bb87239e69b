#!/usr/bin/env python3
"""Two tpcsim sweeps from Python, with a progress line while they run, then both on one plot:
the (32,26)^2 code decoded with 4 and with 32 axis passes (the same blocks and noise).

Needs the tpc package, NumPy and Matplotlib (Debian: python3-numpy, python3-matplotlib). From the
repository root, with the package built in the tree by make python:

    PYTHONPATH=build/native/python /usr/bin/python3 examples/python/sweep_progress.py [OUTDIR]

or, with tpc installed (python -m pip install --no-build-isolation .),
    python examples/python/sweep_progress.py [OUTDIR]

Each run's files (results.csv, results.json, the plot) go to OUTDIR/passes4 and OUTDIR/passes32, as
tpcsim --out writes them; OUTDIR (default sweep_progress) also gets both.png. Ctrl-C stops a
sweep after its running work unit and keeps the points it finished.
"""
import os
import sys

import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt

import tpc


def show(p):
    left = p["sweep_seconds_left"]
    print(f"\r  point {p['point']}/{p['points']}  Eb/N0 {p['ebn0_db']:.2f} dB  blocks {p['blocks']}"
          f"  block errors {p['block_errors']}" + (f"  ~{left:.0f} s left" if left >= 0 else ""),
          end="", flush=True)


out = sys.argv[1] if len(sys.argv) > 1 else "sweep_progress"
runs = {"4 passes": ("passes4", 4), "32 passes": ("passes32", 32)}
results = {}
for label, (name, passes) in runs.items():
    print(f"{label}:")
    results[label] = tpc.simulate(code="32,26x32,26", ebn0="2:3.5:0.25", errors=50, max_blocks=4000,
                                  iterations=passes, out=os.path.join(out, name), progress=show)
    print()

fig, ax = plt.subplots(figsize=(7, 4.5))
for label, r in results.items():
    seen = r["block_errors"] > 0  # a point without errors has no rate to draw
    line, = ax.semilogy(r["ebn0_db"][seen], r["ber"][seen], "o-", label=f"BER, {label}")
    ax.semilogy(r["ebn0_db"][seen], r["fer"][seen], "s--", color=line.get_color(), label=f"FER, {label}")
ax.set_xlabel("Eb/N0 (dB)")
ax.set_ylabel("error rate")
ax.grid(True, which="both", alpha=0.3)
ax.legend()
fig.tight_layout()
fig.savefig(os.path.join(out, "both.png"), dpi=120)
print(f"wrote {os.path.join(out, 'both.png')}; tpcsim plot {out}/passes4 {out}/passes32 -o both.svg draws the same")
