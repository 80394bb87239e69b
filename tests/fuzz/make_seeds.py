#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into tests/fuzz/corpus/<target>/.

The layouts are those described at the top of each *_fuzz.cpp; rerun after
changing one of them."""
import math
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "..", "examples", "constellations")
USABLE_TIMING = 0x80


def encoder_block(nx, kx, ny, ky, nz=1, kz=1, delay=0.0, threshold=0.5, interleave=0):
    return struct.pack("<6idd3I4x", nx, ny, nz, kx, ky, kz, delay, threshold, interleave, 0, 1)


def decoder_block(nx, kx, ny, ky, nz=1, kz=1, quant=1.4, resolution=5, iterations=8,
                  deinter=0, selectstp=0, bpsk=1):
    return struct.pack("<6idi4i4xd6I", nx, ny, nz, kx, ky, kz, quant, resolution, 7, 7, 7,
                       iterations, 0.0, deinter, selectstp, 0, 1, bpsk, 0)


def llr_block(numsym, esno=11.5, quant=1.5):
    return struct.pack("<di4xdi260s", esno, numsym, quant, 5, b"")


def samples(count, seed):
    rng = random.Random(seed)
    return b"".join(struct.pack("<d", rng.uniform(-1.5, 1.5)) for _ in range(count))


def parameters_seed(node, flags, block, tail=b"", timing=(0.0, 0.0, 0.0, 0.0), allowed=0,
                    action=2):
    return struct.pack("<BBBi4d", node, flags, allowed, action, *timing) + block + tail


def write(target, name, data):
    directory = os.path.join(HERE, "corpus", target)
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


def main():
    nan, inf = float("nan"), float("inf")
    write("parameters", "encoder_defaults", parameters_seed(0, USABLE_TIMING,
                                                            encoder_block(64, 57, 64, 57)))
    write("parameters", "encoder_small_run", parameters_seed(
        0, USABLE_TIMING, encoder_block(8, 4, 8, 4, interleave=1), samples(200, 1)))
    write("parameters", "encoder_3d_reinit", parameters_seed(
        0, USABLE_TIMING | 4, encoder_block(8, 4, 4, 3, 2, 1), samples(100, 2)))
    write("parameters", "encoder_raw_timing", parameters_seed(
        0, 0, encoder_block(8, 4, 8, 4), samples(10, 3), timing=(nan, 1e9, 0.0, inf)))
    write("parameters", "decoder_defaults", parameters_seed(1, USABLE_TIMING,
                                                            decoder_block(64, 57, 64, 57)))
    write("parameters", "decoder_small_run", parameters_seed(
        1, USABLE_TIMING, decoder_block(8, 4, 8, 4, deinter=1, selectstp=1), samples(140, 4)))
    write("parameters", "decoder_soft_3d", parameters_seed(
        1, USABLE_TIMING, decoder_block(8, 4, 4, 3, 2, 1, bpsk=0, resolution=40),
        samples(70, 5)))
    write("parameters", "decoder_allocation_failure", parameters_seed(
        1, USABLE_TIMING | 8, decoder_block(16, 11, 16, 11), allowed=3))
    write("parameters", "llr_qpsk", parameters_seed(
        2, USABLE_TIMING | 2 | (1 << 4), llr_block(4), samples(40, 6)))
    write("parameters", "llr_16qam", parameters_seed(
        2, USABLE_TIMING | 2 | (3 << 4), llr_block(16, esno=20.0), samples(40, 7)))
    write("parameters", "llr_unterminated_file", parameters_seed(
        2, USABLE_TIMING, struct.pack("<di4xdi", 11.5, 4, 1.5, 5) + b"x" * 260))
    write("parameters", "bad_node_index", parameters_seed(3, 0x7f, b"", action=-1))

    rng = random.Random(8)

    def stream(count, with_q, hostile=True):
        out = b""
        specials = [nan, inf, -inf, 0.0, -0.0, 1e308, -5e-324]
        for i in range(count):
            control = 1 if i % 7 == 3 else 0
            value = specials[i % len(specials)] if hostile and i % 5 == 0 else rng.uniform(-2, 2)
            out += struct.pack("<Bd", control, value)
            if with_q:
                out += struct.pack("<d", rng.uniform(-2, 2))
        return out

    header = lambda node, config, res=5, it=8, threshold=0.5, quant=1.4: struct.pack(
        "<BBBBdd", node, config, res, it, threshold, quant)
    write("samples", "encoder_hamming", header(0, 0) + stream(300, False))
    write("samples", "encoder_3d_interleaved", header(0, 2 | 4, threshold=nan) + stream(300, False))
    write("samples", "decoder_bpsk", header(1, 0x10) + stream(200, False))
    write("samples", "decoder_soft_deinter_stop", header(1, 4 | 8) + stream(200, False))
    write("samples", "decoder_resolution_255", header(1, 0x10 | 1, res=255, quant=inf)
          + stream(100, False))
    write("samples", "llr_qpsk", header(2, 1 << 5) + stream(100, True))
    write("samples", "llr_16qam_timejump", header(2, 3 << 5)
          + struct.pack("<Bdd", 2, 0.0, 0.5) + struct.pack("<Bddd", 2, nan, 0.1, 0.2)
          + stream(60, True))

    for name, points in [("bpsk_pair.txt", 2), ("qpsk.txt", 4), ("8psk.txt", 8),
                         ("16qam.txt", 16)]:
        with open(os.path.join(EXAMPLES, name), "rb") as f:
            write("constellation", name, struct.pack("<hB", points, 0x80) + f.read())
    write("constellation", "short_file", struct.pack("<hB", 4, 0x80) + b"4\n0 1.0 0.0\n1 -1")
    write("constellation", "malformed", struct.pack("<hB", 8, 0x80) + b"8 0 1e999 nan 1 inf -x")
    write("constellation", "huge_count", struct.pack("<hB", 30000, 0) + b"1 0 0 0 1 1 1")
    write("constellation", "negative_count", struct.pack("<hB", -7, 0x80) + b"2 0 1 1 1 -1 -1")


if __name__ == "__main__":
    main()
