"""The Python package: noiseless round trips, decoding against the reference path and a NumPy
quantiser, real LLRs against soft values, LLR lookups against a NumPy lookup in the table, shared
objects across Python threads, pickling, the exceptions for bad input and the message of a compiled
module built for another Python. (tests/api holds the C++ side to the nodes themselves.)"""
import os
import pickle
import shutil
import subprocess
import sys
import threading

import numpy as np
import pytest

import tpc

CONSTELLATIONS = os.path.join(os.environ.get("TPC_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..")),
                              "examples", "constellations")


def noisy_batch(code, blocks, sigma, seed, interleave=False):
    rng = np.random.default_rng(seed)
    bits = rng.integers(0, 2, (blocks, code.K), dtype=np.uint8)
    sent = code.encode(bits, interleave=interleave)
    return bits, 2.0 * sent - 1.0 + sigma * rng.standard_normal(sent.shape)


# 2D, 3D, parity axes (3D all parity; parity with Hamming), the Z parity layer, each in block and helical order.
@pytest.mark.parametrize("text", ["64,57x64,57", "16,11x16,11x16,11", "8,7x16,11", "4,3x4,3x4,3", "16,11x8,4x2,1"])
@pytest.mark.parametrize("interleave", [False, True])
def test_noiseless_round_trip(text, interleave):
    code = tpc.ProductCode(text)
    bits = np.random.default_rng(3).integers(0, 2, (5, code.K)).astype(bool)
    sent = code.encode(bits, interleave=interleave, threads=2)
    assert sent.shape == (5, code.N) and sent.dtype == np.uint8
    block_order = code.encode(bits)
    for decoded in (code.decode(2.0 * sent - 1.0, deinterleave=interleave, passes=4, threads=2),
                    code.decode_soft(sent.astype(np.int64) * 40 - 20, deinterleave=interleave, passes=4)):
        np.testing.assert_array_equal(decoded.info, bits)
        np.testing.assert_array_equal(decoded.decisions, block_order)
        assert decoded.passes.shape == (5,)
    # One block in, one block out.
    single = code.decode(2.0 * sent[1] - 1.0, deinterleave=interleave)
    np.testing.assert_array_equal(single.info, bits[1])
    assert single.decisions.shape == (code.N,) and np.ndim(single.passes) == 0


def test_decode_equals_the_reference_path_and_a_numpy_quantiser():
    code = tpc.ProductCode("32,26x32,26")
    bits, received = noisy_batch(code, 40, 0.68, seed=5, interleave=True)
    options = dict(passes=20, weights=(6, 9, 1), selective_stop=True, deinterleave=True)
    fast = code.decode(received, resolution=4, quant_limit=1.1, threads=2, **options)
    plain = code.decode(received, resolution=4, quant_limit=1.1, path="plain", **options)
    for field in fast._fields:
        np.testing.assert_array_equal(getattr(fast, field), getattr(plain, field))
    assert len(set(fast.passes)) > 1 and np.any(fast.info != bits)  # the case is not trivial
    # The node's quantiser written out: pulled just inside the limit, floor(x * 8 / 1.1).
    clipped = np.clip(received, -1.1 + 1e-6, 1.1 - 1e-6)
    soft = code.decode_soft(np.floor(clipped * (8 / 1.1)).astype(np.int32), **options)
    np.testing.assert_array_equal(soft.decisions, fast.decisions)
    # float32 amplitudes are converted exactly.
    np.testing.assert_array_equal(code.decode(received.astype(np.float32)).info,
                                  code.decode(received.astype(np.float32).astype(np.float64)).info)


def test_one_object_shared_by_python_threads():
    code = tpc.ProductCode()
    batches = [noisy_batch(code, 48, 0.58, seed=seed)[1] for seed in range(4)]
    expected = [code.decode(batch).decisions for batch in batches]
    results = [None] * 4
    start = threading.Barrier(4)

    def work(t):
        start.wait()
        results[t] = code.decode(batches[t], threads=2).decisions

    threads = [threading.Thread(target=work, args=(t,)) for t in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for result, wanted in zip(results, expected):
        np.testing.assert_array_equal(result, wanted)


def numpy_cell(x, limit):
    """LocateLlrCell written out: the cell of each coordinate, NaN counted as 0."""
    a = np.nan_to_num(x, nan=0.0, posinf=np.inf, neginf=-np.inf) + limit
    a = np.minimum(a, 2 * limit - 0.001)
    a = np.where(a >= 0.001, a, 0.001)
    return np.clip(np.ceil(a / (2 * limit / 256.0)) - 1.0, 0, 255).astype(int)


@pytest.mark.parametrize("file,points,esno,limit", [("16qam.txt", 16, 5.0, 1.3), ("8psk.txt", 8, 11.5, 1.5)])
def test_llrs_are_the_table_entries_of_the_sample_cells(file, points, esno, limit):
    path = os.path.join(CONSTELLATIONS, file)
    table = tpc.LlrTable.from_file(path, points, esno, limit)
    m = table.bits_per_symbol
    assert m == int(np.log2(points)) and table.entries.shape == (256, 256, m)
    np.testing.assert_array_equal(tpc.LlrTable(tpc.read_constellation(path, points), esno, limit).entries,
                                  table.entries)
    rng = np.random.default_rng(2)
    samples = (rng.uniform(-1.4, 1.4, (3, 50)) + 1j * rng.uniform(-1.4, 1.4, (3, 50)))
    samples[0, :4] = [complex(np.nan, 0.2), complex(0.3, np.nan), complex(np.inf, -np.inf), limit - 1j * limit]
    llrs = table.llrs(samples)
    assert llrs.shape == (3, 50, m) and llrs.dtype == np.int32
    expected = table.entries[numpy_cell(samples.real, limit), numpy_cell(samples.imag, limit)]
    np.testing.assert_array_equal(llrs, expected.astype(np.int32))
    # At each point of the constellation every bit of its label is the likelier one.
    at_points = table.llrs(table.points)
    labels = (np.arange(points)[:, None] >> np.arange(m)) & 1
    np.testing.assert_array_equal(at_points > 0, labels == 1)
    # LLRs of whole blocks decode as soft values.
    code = tpc.ProductCode("16,11x16,11")
    bits = rng.integers(0, 2, (3, code.K), dtype=np.uint8)
    symbols = code.encode(bits).reshape(-1, m) @ (1 << np.arange(m))
    soft = table.llrs(table.points[symbols]).reshape(3, code.N)
    np.testing.assert_array_equal(code.decode_soft(soft).info, bits)


def test_bad_input_raises_clear_exceptions():
    code = tpc.ProductCode("8,4x8,4")
    good = np.zeros((2, 64))
    cases = [
        (TypeError, "expected bits", lambda: code.encode(np.zeros((2, 16)))),
        (ValueError, r"expected shape \(batch, 16\)", lambda: code.encode(np.zeros((2, 15), dtype=np.uint8))),
        (ValueError, "0 or 1", lambda: code.encode(np.full((1, 16), 2, dtype=np.uint8))),
        (ValueError, "0 or 1", lambda: code.encode(np.full(16, -1))),
        (TypeError, "real amplitudes", lambda: code.decode(np.zeros((2, 64), dtype=np.int32))),
        (TypeError, "real amplitudes", lambda: code.decode(np.zeros((2, 64), dtype=complex))),
        (ValueError, r"expected shape \(batch, 64\)", lambda: code.decode(np.zeros((2, 2, 64)))),
        (TypeError, "integer soft values", lambda: code.decode_soft(good)),
        (ValueError, "passes must be 1 ... 128", lambda: code.decode(good, passes=200)),
        (TypeError, "passes: expected an integer", lambda: code.decode(good, passes=2.5)),
        (ValueError, "Y weight must be 1 ... 16", lambda: code.decode(good, weights=(7, 0, 7))),
        (ValueError, "weights: expected three", lambda: code.decode(good, weights=(7, 7))),
        (ValueError, "quantLimit", lambda: code.decode(good, quant_limit=float("inf"))),
        (ValueError, "threads must be", lambda: code.decode(good, threads=0)),
        (ValueError, "unknown decoder path 'fast'", lambda: code.decode(good, path="fast")),
        (ValueError, "valid dimensions are 8,16,32,64,128,and 256", lambda: tpc.ProductCode("12,8x8,4")),
        (ValueError, "n,k per axis", lambda: tpc.ProductCode("8,4")),
        (TypeError, "give all of nx, kx, ny, ky", lambda: tpc.ProductCode(nx=8, kx=4)),
        (ValueError, "cannot open", lambda: tpc.read_constellation("/nonexistent/c.txt", 4)),
        (ValueError, "2 ... 256 points", lambda: tpc.LlrTable([1.0], 4.0)),
        (TypeError, "points: expected numbers", lambda: tpc.LlrTable(["a", "b"], 4.0)),
        (ValueError, "is longer than 1048576 bytes", lambda: tpc.read_constellation("/dev/zero", 4)),
        # tpcsim's words for --llr-esno and --llr-limit, under the names of the arguments.
        *[(ValueError, r"esno must be a positive number \(a ratio, not dB\), got " + shown,
           lambda esno=esno: tpc.LlrTable([1.0, -1.0], esno)) for esno, shown in
          ((0.0, "0"), (-3, "-3"), (float("nan"), "nan"), (float("inf"), "inf"))],
        *[(ValueError, "limit must be greater than 0.001, got " + shown,
           lambda limit=limit: tpc.LlrTable([1.0, -1.0], 4.0, limit)) for limit, shown in
          ((0.0, "0"), (0.001, "0.001"), (-1.5, "-1.5"), (float("nan"), "nan"), (float("inf"), "inf"))],
        (TypeError, "esno: expected a real number", lambda: tpc.LlrTable([1.0, -1.0], "4")),
        (TypeError, "limit: expected a real number", lambda: tpc.LlrTable([1.0, -1.0], 4.0, None)),
        (TypeError, "llrs: expected", lambda: code.decode_llr(np.zeros((2, 64), dtype=complex))),
        (ValueError, "scale must be a positive finite number", lambda: code.decode_llr(good, scale=0)),
        (ValueError, "scale must be a positive finite number", lambda: code.decode_llr(good, scale=float("inf"))),
        (TypeError, "scale: expected a real number", lambda: code.decode_llr(good, scale="1")),
        (TypeError, "weights: expected an integer", lambda: code.decode_soft(np.zeros(64, int), weights=7.0)),
        (ValueError, "X weight must be 1 ... 16", lambda: code.decode_llr(good, weights=17)),
    ]
    for error, words, call in cases:
        with pytest.raises(error, match=words):
            call()
    assert tpc.ProductCode(nx=8, kx=4, ny=8, ky=4) == code and str(code) == "8,4x8,4"
    assert set(tpc.decoder_paths()) >= {"plain", "portable", "fastest"}
    # The least Es/N0 and limit taken; one weight for all three axes.
    assert tpc.LlrTable([1.0, -1.0], 1e-9, 0.0011).bits_per_symbol == 1
    bits, received = noisy_batch(tpc.ProductCode("16,11x16,11"), 20, 0.7, seed=9)
    one, three = (tpc.ProductCode("16,11x16,11").decode(received, passes=6, weights=w) for w in (3, (3, 3, 3)))
    assert not np.array_equal(one.decisions, tpc.ProductCode("16,11x16,11").decode(received, passes=6).decisions)
    np.testing.assert_array_equal(one.decisions, three.decisions)


def test_llrs_decode_as_soft_values_when_they_are_integers():
    code = tpc.ProductCode("32,26x32,26")
    rng = np.random.default_rng(8)
    sent = code.encode(rng.integers(0, 2, (30, code.K), dtype=np.uint8))
    # Weak and wrong values among strong ones, beyond the clip too.
    soft = (2 * sent.astype(np.int64) - 1) * rng.integers(-6, 50, sent.shape)
    options = dict(passes=8, selective_stop=True, threads=2)
    wanted = code.decode_soft(soft, **options)
    for llrs in (soft.astype(np.float64), soft.astype(np.float32), soft):
        got = code.decode_llr(llrs, scale=1, **options)
        for field in wanted._fields:
            np.testing.assert_array_equal(getattr(got, field), getattr(wanted, field))
    assert np.any(wanted.info != code.decode_soft(soft, passes=1).info)  # the passes matter here
    # Exact BPSK LLRs with the default scale: the quantiser's decisions on a clean enough batch.
    bits, received = noisy_batch(code, 30, 0.45, seed=4)
    np.testing.assert_array_equal(code.decode_llr(2 * received / 0.45 ** 2).info, bits)
    assert tpc.DEFAULT_LLR_SCALE > 0


def test_objects_pickle_by_their_parameters():
    for text in ("64,57x64,57", "16,11x16,11x16,11", "16,11x8,4x2,1", "8,7x16,11"):
        code = tpc.ProductCode(text)
        back = pickle.loads(pickle.dumps(code))
        assert back == code and str(back) == text and back.N == code.N
    table = tpc.LlrTable.from_file(os.path.join(CONSTELLATIONS, "8psk.txt"), 8, 7.5, 1.25)
    back = pickle.loads(pickle.dumps(table))
    assert (back.esno, back.limit) == (7.5, 1.25)
    np.testing.assert_array_equal(back.points, table.points)
    np.testing.assert_array_equal(back.entries, table.entries)


def test_a_module_built_for_another_python_is_named_in_one_line(tmp_path):
    package = os.path.dirname(tpc.__file__)
    running = "Python %d.%d" % sys.version_info[:2]
    (built,) = [f for f in os.listdir(package) if f.startswith("_tpc.")]
    cases = [("_tpc.cpython-39-x86_64-linux-gnu.so",
              f"built for Python 3.9 (_tpc.cpython-39-x86_64-linux-gnu.so), not for the running {running}"),
             (None, f"no compiled module _tpc in {tmp_path / 'tpc'} for {running}")]
    for name, words in cases:
        shutil.rmtree(tmp_path / "tpc", ignore_errors=True)
        os.mkdir(tmp_path / "tpc")
        shutil.copy(os.path.join(package, "__init__.py"), tmp_path / "tpc")
        if name:
            shutil.copy(os.path.join(package, built), tmp_path / "tpc" / name)
        run = subprocess.run([sys.executable, "-c", "import tpc"], cwd=tmp_path, capture_output=True, text=True,
                             env=dict(os.environ, PYTHONPATH=str(tmp_path)))
        last = run.stderr.strip().splitlines()[-1]
        assert run.returncode != 0 and last.startswith("ImportError: tpc: ") and words in last, run.stderr
        assert "circular import" not in run.stderr


def test_simulate_gives_tpcsims_table_whatever_the_threads():
    options = dict(code="8,4x8,4", ebn0=[0.0, 2.0], max_blocks=200, iterations=4, seed=5)
    one, two = tpc.simulate(threads=1, **options), tpc.simulate(threads=2, **options)
    for name in ("blocks", "bits", "bit_errors", "block_errors"):
        np.testing.assert_array_equal(one[name], two[name])
    np.testing.assert_array_equal(one["ebn0_db"], [0.0, 2.0])
    np.testing.assert_allclose(one["ber"], one["bit_errors"] / one["bits"])
    np.testing.assert_allclose(one["fer"], one["block_errors"] / one["blocks"])
    assert np.all(one["ber_low95"] <= one["ber"]) and np.all(one["ber"] <= one["ber_high95"])
    assert one["bit_errors"][0] > one["bit_errors"][1] > 0
    np.testing.assert_array_equal(one["avg_passes"], [4.0, 4.0])
    # No pass at all: the decoder's zeros, half the bits wrong.
    idle = tpc.simulate(code="8,4x8,4", ebn0=3, max_blocks=100, iterations=0)
    assert abs(idle["ber"][0] - 0.5) < 0.07
    with pytest.raises(ValueError, match="^nx must be between 1 and 256"):
        tpc.simulate(nx=300)
    with pytest.raises(ValueError, match="block engine only"):
        tpc.simulate(engine="nodes")
    # Option names checked against tpcsim's before anything runs.
    for name, words in (("max_block", r"^unknown option max_block \(did you mean max_blocks\?\)$"),
                        ("selectivestop", r"\(did you mean selective_stop\?\)"), ("xyzzy", "^unknown option xyzzy$")):
        with pytest.raises(ValueError, match=words):
            tpc.simulate(**{name: 1})


def test_fading_channel_gains_and_received_values():
    symbols = np.tile([1 + 1j, -1 + 1j, -1 - 1j, 1 - 1j], 5000).reshape(100, 200) / np.sqrt(2)
    gains, received = tpc.fading_channel(symbols, 10.0, channel="rician", rician_k=4, seed=3)
    assert gains.shape == received.shape == symbols.shape and gains.dtype == np.complex128
    assert abs(np.mean(np.abs(gains) ** 2) - 1) < 0.02 and abs(np.mean(gains.real) - np.sqrt(0.8)) < 0.01
    noise = received - gains * symbols  # N0 = 0.1 at Es = 1: 0.05 per real dimension
    assert abs(np.var(noise.real) - 0.05) < 0.003 and abs(np.var(noise.imag) - 0.05) < 0.003
    again = tpc.fading_channel(symbols, 10.0, channel="rician", rician_k=4, seed=3)
    np.testing.assert_array_equal(again[1], received)
    # Block fading: one gain per 40 symbols, the last block short; AWGN: unit gains.
    gains, _ = tpc.fading_channel(np.ones(1000), 0.0, fading="block", block=40)
    assert np.all(gains.reshape(25, 40) == gains[::40, None]) and len(np.unique(gains)) == 25
    gains, received = tpc.fading_channel(np.ones(10), 200.0, channel="awgn")
    np.testing.assert_array_equal(gains, np.ones(10))
    np.testing.assert_allclose(received, np.ones(10), atol=1e-9)
    for bad, words in (({"channel": "nakagami"}, "channel must be"), ({"fading": "slow"}, "fading must be"),
                       ({"fading": "block"}, "block: give"), ({"rician_k": -1}, "rician_k")):
        with pytest.raises(ValueError, match=words):
            tpc.fading_channel(symbols, 3.0, **bad)
    rayleigh = tpc.simulate(code="8,4x8,4", ebn0=3, max_blocks=50, channel="rayleigh", fading="block")
    assert rayleigh["blocks"][0] == 50
