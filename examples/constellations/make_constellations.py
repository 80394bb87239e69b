#!/usr/bin/env python3
"""Writes the example constellation files of the LLR calculator.

Each file holds the number of points, then one "label I Q" line per point in
label order (the calculator labels points by their position in the file).
Labels are Gray codes: neighbouring points differ in one bit, bit 0 being the
least significant bit of the label. Every constellation except the BPSK pair
has unit average symbol energy.

Run from anywhere: python3 make_constellations.py [output directory]
"""
import math
import os
import sys


def gray(p):
    return p ^ (p >> 1)


def gray_position(label):
    """Position p on a Gray-coded line whose code is `label`."""
    p = 0
    while label:
        p ^= label
        label >>= 1
    return p


def clean(x):
    """Writes the zeros of cos and sin as 0 rather than 6e-17."""
    return 0.0 if abs(x) < 1e-15 else x


def psk(bits):
    """2^bits points on the unit circle; label gray(p) at angle 2*pi*p/M."""
    count = 1 << bits
    points = []
    for label in range(count):
        angle = 2.0 * math.pi * gray_position(label) / count
        points.append((clean(math.cos(angle)), clean(math.sin(angle))))
    return points


def square_qam(bits_per_axis):
    """Square QAM: the low label bits choose the I level, the high ones Q."""
    levels = 1 << bits_per_axis
    count = levels * levels
    # Mean energy of the odd levels -(levels-1) ... levels-1 on both axes.
    scale = 1.0 / math.sqrt(2.0 * (count - 1) / 3.0)
    points = []
    for label in range(count):
        low = label & (levels - 1)
        high = label >> bits_per_axis
        i_level = 2 * gray_position(low) - (levels - 1)
        q_level = 2 * gray_position(high) - (levels - 1)
        points.append((i_level * scale, q_level * scale))
    return points


def write(directory, name, points):
    with open(os.path.join(directory, name), "w") as f:
        f.write("%d\n" % len(points))
        for label, (i, q) in enumerate(points):
            f.write("%d %.17g %.17g\n" % (label, i + 0.0, q + 0.0))


def main():
    directory = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write(directory, "bpsk_pair.txt", [(-1.0, 0.0), (1.0, 0.0)])
    write(directory, "qpsk.txt", square_qam(1))
    write(directory, "8psk.txt", psk(3))
    write(directory, "16qam.txt", square_qam(2))
    write(directory, "64qam.txt", square_qam(3))
    write(directory, "256qam.txt", square_qam(4))


if __name__ == "__main__":
    main()
