#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into tests/fuzz/corpus/<target>/.

The layouts are those described at the top of each *_fuzz.cpp; rerun after
changing one of them."""
import glob
import json
import math
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "..", "examples")
CONSTELLATIONS = os.path.join(EXAMPLES, "constellations")
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
    write("parameters", "llr_missing_file", parameters_seed(
        2, USABLE_TIMING, llr_block(4), samples(40, 6)))
    write("parameters", "llr_256_points_allocation_failure", parameters_seed(
        2, USABLE_TIMING | 8, llr_block(256, esno=20.0), allowed=1))
    write("parameters", "llr_unterminated_file", parameters_seed(2, USABLE_TIMING | 2, llr_block(4)))
    write("parameters", "bad_node_index", parameters_seed(3, 0x7f, b"", action=-1))

    rng = random.Random(8)

    def stream(count):
        out = b""
        extremes = [nan, inf, -inf, 0.0, -0.0, 1e308, -5e-324]
        for i in range(count):
            control = 1 if i % 7 == 3 else 0
            value = extremes[i % len(extremes)] if i % 5 == 0 else rng.uniform(-2, 2)
            out += struct.pack("<Bd", control, value)
        return out

    header = lambda node, config, res=5, it=8, threshold=0.5, quant=1.4: struct.pack(
        "<BBBBdd", node, config, res, it, threshold, quant)
    write("samples", "encoder_hamming", header(0, 0) + stream(300))
    write("samples", "encoder_3d_interleaved", header(0, 2 | 4, threshold=nan) + stream(300))
    write("samples", "decoder_bpsk", header(1, 0x10) + stream(200))
    write("samples", "decoder_soft_deinter_stop", header(1, 4 | 8) + stream(200))
    write("samples", "decoder_resolution_255", header(1, 0x10 | 1, res=255, quant=inf)
          + stream(100))
    def symbols(count):
        extremes = [nan, inf, -inf, 0.0, -0.0, 1e308, -5e-324, 1.5, -1.5]
        return b"".join(struct.pack("<dd", extremes[i % len(extremes)] if i % 4 == 0
                                    else rng.uniform(-2, 2), rng.uniform(-2, 2))
                        for i in range(count))

    for choice, name in enumerate(["bpsk_pair", "qpsk", "8psk", "16qam"]):
        write("samples", "llr_" + name, header(2, choice << 5) + symbols(60))

    for name, points in [("bpsk_pair.txt", 2), ("qpsk.txt", 4), ("8psk.txt", 8),
                         ("16qam.txt", 16)]:
        with open(os.path.join(CONSTELLATIONS, name), "rb") as f:
            write("constellation", name, struct.pack("<hB", points, 0x80) + f.read())
    write("constellation", "short_file", struct.pack("<hB", 4, 0x80) + b"4\n0 1.0 0.0\n1 -1")
    write("constellation", "malformed", struct.pack("<hB", 8, 0x80) + b"8 0 1e999 nan 1 inf -x")
    write("constellation", "huge_count", struct.pack("<hB", 30000, 0) + b"1 0 0 0 1 1 1")
    write("constellation", "negative_count", struct.pack("<hB", -7, 0x80) + b"2 0 1 1 1 -1 -1")
    write("constellation", "far_points_huge_esno", struct.pack("<hB", 4, 0x83)
          + b"4 0 1e150 0 1 -1e150 0 2 0 1e-300 3 0 -1e-300")

    configs = {}
    for path in sorted(glob.glob(os.path.join(EXAMPLES, "*.json"))):
        with open(path, "rb") as f:
            text = f.read()
        configs[os.path.basename(path)[:-len(".json")]] = json.loads(text)
        write("config", os.path.basename(path), text)
    write("config", "key_value_lines", b"# a comment\ncode = 16,11x16,11\nnx = 16\n"
          b"weights = 8,8,6\nesn0 = \"1, 2.5, 4\"\nselective-stop = true\n")
    write("config", "results_json", json.dumps(
        {"program": "tpcsim", "configuration": configs["16qam"], "points": []}).encode())
    write("config", "arrays_and_nulls", b'{"ebn0": [1, 2.5, 3e0], "out": null, "interleave": false}')
    write("config", "not_an_object", b"[1, 2]")

    def point(ebn0, blocks, errors, passes=None, units=0):
        p = {"ebn0_db": ebn0, "esn0_db": ebn0 + 1.2, "blocks": blocks, "bits": blocks * 3249,
             "bit_errors": errors * 3, "block_errors": errors, "seconds": 0.25,
             "bit_errors_squared": errors * 9, "time_limited": False, "units": units}
        if passes is not None:
            p.update({"avg_passes": passes / max(blocks, 1), "undetected_blocks": 0,
                      "passes": passes})
        return p

    def results(configuration, points, **extra):
        doc = {"program": "tpcsim", "version": "0.1", "seed": 1, "configuration": configuration,
               "points": points, "interrupted": False, "seconds": 1.5}
        doc.update(extra)
        return json.dumps(doc, indent=2).encode()

    write("results", "blocks_engine", results(configs["3d_code"], [
        point(2.0, 64, 5, 900, 2), point(2.5, 96, 1, 1300, 3), point(3.0, 32, 0, 400, 1)]))
    write("results", "nodes_engine", results(configs["16qam"], [point(5.0, 10, 2), point(5.25, 12, 0)]))
    write("results", "pooled_seeds", results(configs["interleaved"], [point(1.0, 200, 7, 2000, 7)],
                                             seeds=[3, 5, 9]))
    kept = point(2.0, 64, 2, 900, 2)
    kept["failures"] = [{"unit": 0, "block": 5, "bit_errors": 16, "detected": False, "passes": 12},
                        {"unit": 1, "block": 30, "bit_errors": 9, "detected": True, "passes": 64}]
    write("results", "kept_failures", results(configs["3d_code"], [kept]))
    counts = [dict(point(2.0, 64, 5, 900, 2), iterations=n) for n in (2, 8)]
    write("results", "pass_counts", results(dict(configs["3d_code"], iterations=[2, 8]), counts))
    # Found by this target: each used to escape as a JSON library error or
    # overflow a sum.
    write("results", "seeds_not_numbers", results({}, [], seeds=["x"]))
    write("results", "program_not_text", json.dumps(
        {"program": 5, "configuration": {}, "points": []}).encode())
    write("results", "configuration_not_object", json.dumps(
        {"program": "tpcsim", "configuration": [3], "points": []}).encode())
    write("results", "counts_past_64_bits", results({}, [
        {"ebn0_db": 1.0, "blocks": 2**63 - 1, "units": 2**63 - 1, "bit_errors_squared": 2**63 - 1}]))
    write("results", "negative_counts", results({}, [
        {"ebn0_db": 1.0, "blocks": 2, "bit_errors_squared": -(2**63), "units": -1}]))

    for path in sorted(glob.glob(os.path.join(CONSTELLATIONS, "*.txt"))):
        with open(path, "rb") as f:
            text = f.read()
        points = int(text.split()[0])
        write("constellation_check", os.path.basename(path), struct.pack("<B", points - 2) + text)
    write("constellation_check", "labels_shuffled", struct.pack("<B", 2)
          + b"4\n1 0.7 0.7\n0 -0.7 0.7\n3 -0.7 -0.7\n2 0.7 -0.7\n")
    write("constellation_check", "labels_repeated", struct.pack("<B", 2)
          + b"4 0 1 0 0 -1 0 2 0 1 3 0 -1")
    write("constellation_check", "not_gray_energy_2", struct.pack("<B", 2)
          + b"4 0 1 1 1 -1 1 2 1 -1 3 -1 -1")
    write("constellation_check", "hex_and_nan", struct.pack("<B", 0)
          + b"2 0 0x1p-1 nan 1 -inf 0")
    write("constellation_check", "three_points", struct.pack("<B", 1) + b"3 0 1 0 1 -1 0 2 0 1")


if __name__ == "__main__":
    main()
