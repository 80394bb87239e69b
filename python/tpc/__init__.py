"""Turbo product codes: encode and decode batches of blocks with NumPy arrays.

    import numpy as np, tpc
    code = tpc.ProductCode("64,57x64,57")
    bits = np.random.default_rng(1).integers(0, 2, (1000, code.K), dtype=np.uint8)
    sent = code.encode(bits)                       # (1000, N) uint8
    received = 2.0 * sent - 1.0 + 0.5 * np.random.default_rng(2).standard_normal(sent.shape)
    decoded = code.decode(received, passes=64, threads=2)
    errors = np.count_nonzero(decoded.info != bits)

A block's K information bits are taken x fastest (kx per row, ky rows per
layer); code bits and received values are N per block in the order the encoder
emits them. Decoding returns a `Decoded` tuple: `decisions` (batch, N) in block
order, `info` (batch, K) and `passes` (batch,), the axis passes that ran. The
results are those of the library's decoder node to the bit.

A ProductCode or LlrTable may be shared between Python threads (calls on one
object take turns); the GIL is released while the work runs, and `threads`
spreads one call's blocks over that many threads. Both pickle by their
parameters.
"""
import difflib
import importlib.machinery
import numbers
import os
import re
import sys
import warnings
from collections import namedtuple

import numpy as np


def _module_problem():
    """Why no compiled module here loads into this interpreter, in one line; None when one
    built for it is present (the import failed for another reason)."""
    here = os.path.dirname(os.path.abspath(__file__))
    running = "Python %d.%d" % sys.version_info[:2]
    built = sorted(f for f in os.listdir(here) if f.startswith("_tpc.") and f != "_tpc.py")
    if any(f[len("_tpc"):] in importlib.machinery.EXTENSION_SUFFIXES for f in built):
        return None
    if not built:
        return (f"tpc: no compiled module _tpc in {here} for {running} ({sys.executable}); "
                "build it with make python or pip install .")
    versions = []
    for name in built:
        tag = re.match(r"_tpc\.(cpython|pypy)-?(\d)(\d+)", name)
        versions.append(f"Python {tag.group(2)}.{tag.group(3)} ({name})" if tag else name)
    return (f"tpc: the compiled module in {here} was built for {', '.join(versions)}, not for the "
            f"running {running} ({sys.executable}); rebuild it with this Python (make python "
            "PYTHON=..., or pip install .) or run the Python it was built for")


try:
    from . import _tpc
except ImportError as error:
    _problem = _module_problem()
    if _problem is None:
        raise
    raise ImportError(_problem) from None

__all__ = ["ProductCode", "Decoded", "LlrTable", "read_constellation", "fading_channel", "decoder_paths",
           "simulate", "replay", "DEFAULT_LLR_SCALE"]

DEFAULT_LLR_SCALE = _tpc.DEFAULT_LLR_SCALE
# The decoder's defaults, from the library's one statement of them.
_PASSES = _tpc.decode_defaults["passes"]
_WEIGHTS = tuple(_tpc.decode_defaults["weights"])
_RESOLUTION = _tpc.decode_defaults["resolution"]
_QUANT_LIMIT = _tpc.decode_defaults["quant_limit"]

def _python_names(message):
    """tpcsim's message with its option names as simulate's keywords: --max-blocks as max_blocks."""
    known = set(_tpc.simulate_option_names())
    return re.sub(r"--([a-z][a-z0-9-]*)",
                  lambda m: m.group(1).replace("-", "_") if m.group(1) in known else m.group(0), message)


def _check_simulate_options(options):
    """An option name tpcsim does not have, as a ValueError naming the nearest one it has."""
    known = [name.replace("-", "_") for name in _tpc.simulate_option_names()]
    for name in options:
        if name not in known:
            nearest = difflib.get_close_matches(name, known, n=1)
            raise ValueError(f"unknown option {name}" + (f" (did you mean {nearest[0]}?)" if nearest else ""))


def simulate(*, out=None, resume=None, progress=None, **options):
    """Error rates of a whole link (source, encoder, BPSK or a constellation, AWGN, LLRs, decoder)
    over a sweep: tpcsim's own sweep on its block engine, with the same counts as tpcsim for the
    same options.

    Options are tpcsim's, with underscores for dashes and Python values:
        tpc.simulate(code="16,11x16,11", ebn0="1:3:0.5", errors=100, max_blocks=10000,
                     selective_stop=True, threads=2)
    Lists become comma lists (ebn0=[2.0, 2.5]); True sets a flag. iterations takes one pass count
    or several (iterations=[2, 8, 64]): each point then runs at every count on the same blocks
    and noise, one entry per point and count.

    out: a directory that receives tpcsim's files (results.csv, results.json, plot.gp and the
        plot), saved after every point. resume: a directory of an earlier run to continue, as
        tpcsim --resume does: its points of the same configuration are kept, the others run, and
        the files are written there.
    progress: a callable that receives a dict (point, points, ebn0_db, iterations, blocks, bit_errors,
        block_errors, seconds, point_seconds_left, sweep_seconds_left) several times a second
        while a point runs.

    Returns a dict of NumPy arrays with one entry per finished point (and pass count), keyed by
    the columns of tpcsim's results (ebn0_db, esn0_db, iterations: the row's maximum passes,
    blocks, bits, bit_errors, ber, ber_low95, ber_high95, block_errors, undetected_blocks, fer,
    fer_low95, fer_high95, avg_passes, passes, bit_errors_squared, seconds, info_mbit_per_s,
    time_limited). Bad options raise ValueError
    with tpcsim's message. Ctrl-C stops the sweep after the running work unit, keeps the
    finished points (in `out`) and raises KeyboardInterrupt. The GIL is released while the sweep
    runs."""
    if out is not None:
        options["out"] = out
    if resume is not None:
        options["resume"] = resume
    _check_simulate_options(options)
    pairs = []
    for name, value in options.items():
        if isinstance(value, bool):
            text = "true" if value else "false"
        elif isinstance(value, (list, tuple, np.ndarray)):
            text = ",".join(repr(float(v)) if isinstance(v, float) else str(v) for v in value)
        else:
            text = str(value)
        pairs.append((name.replace("_", "-"), text))
    try:
        rows, notes = _tpc.simulate(pairs, progress)
    except ValueError as refusal:
        raise ValueError(_python_names(str(refusal))) from None
    for note in notes:
        if note.startswith("warning: "):
            warnings.warn(note[len("warning: "):], stacklevel=2)
    result = {}
    for name, kind in _tpc.point_columns():
        values = [row[name] for row in rows]
        if kind == "i":
            result[name] = np.array([0 if v is None else v for v in values], dtype=np.int64)
        elif kind == "b":
            result[name] = np.array(values, dtype=bool)
        else:
            result[name] = np.array([np.nan if v is None else v for v in values], dtype=np.float64)
    if "keep_failures" in options:
        result["failures"] = [row["failures"] for row in rows]
    return result


def replay(directory, point, failure, *, iterations=None, out=None):
    """A failing block that a run kept with keep_failures (tpcsim --keep-failures), regenerated bit
    for bit from the run's seed, as `tpcsim replay DIR --point EBN0 --failure N` does.

    directory: the run's results directory; point: its Eb/N0 point, dB; failure: which of the
    point's kept failures, from 1. iterations: the pass count, for a run of several (a list of
    iterations). out: a directory that receives tpcsim replay's files (CSV,
    .npy, error_pattern.png).

    Returns a dict: information_bits (uint8, [kz,] ky, kx), code_bits, decoder_input, decisions
    (block order, [nz,] ny, nx), decoding_errors and channel_errors (bool, the same shape: code
    bits wrong after decoding, and in the channel's hard decisions), sent_bits (the code bits in
    the order sent), received (BPSK amplitudes, or complex points with a constellation or
    fading), bit_errors, detected, passes, rows_in_error, columns_in_error, the recorded counts
    (recorded) and whether they match (matches_record), ebn0_db, esn0_db, unit, block,
    unit_seed, code and tpcsim's summary text. A point or failure the run does not hold raises
    ValueError with tpcsim's message."""
    result = _tpc.replay(os.fspath(directory), float(point), _int(failure, "failure"),
                         -1 if iterations is None else _int(iterations, "iterations"),
                         "" if out is None else os.fspath(out))
    note = result.pop("note")
    if note:
        warnings.warn(note, stacklevel=2)
    return result


Decoded = namedtuple("Decoded", "decisions info passes")


def decoder_paths():
    """The decoder implementations this build and CPU run (all give the same results)."""
    return list(_tpc.decoder_paths())


def _batch(array, name, width, kinds, dtype):
    """array as a C-contiguous (batch, width) array of dtype (None: its own), and whether it
    was a single block. Copies only when the dtype or the layout differ."""
    array = np.asarray(array)
    if array.dtype.kind not in kinds:
        raise TypeError(f"{name}: expected {_KIND_NAMES[kinds]}, got dtype {array.dtype}")
    if array.ndim not in (1, 2) or array.shape[-1] != width:
        raise ValueError(f"{name}: expected shape (batch, {width}) or ({width},), got {array.shape}")
    return np.ascontiguousarray(array.reshape(-1, width), dtype=dtype), array.ndim == 1


_KIND_NAMES = {"biu": "bits (bool or integers 0/1)", "f": "real amplitudes (floating point)",
               "iu": "integer soft values", "fiu": "real LLRs (floating point or integers)"}


def _integers_as_int32(array):
    """Integer soft values saturated into int32 (the decoder clips them to +-31 anyway)."""
    if array.dtype != np.int32:
        info = np.iinfo(np.int32)
        array = np.clip(array, info.min, info.max)
    return array


class ProductCode:
    """A product code, e.g. ProductCode("64,57x64,57"), ProductCode("16,11x16,11x16,11")
    or ProductCode(nx=64, kx=57, ny=64, ky=57[, nz, kz]).

    Per axis, n - k == 1 is the single parity code, anything else the extended Hamming
    code of length n (8 ... 256). Invalid codes raise ValueError with the reason.
    """

    def __init__(self, code="64,57x64,57", *, nx=None, kx=None, ny=None, ky=None, nz=1, kz=1):
        dims = (nx, kx, ny, ky)
        if any(d is not None for d in dims):
            if any(d is None for d in dims):
                raise TypeError("ProductCode: give all of nx, kx, ny, ky (nz, kz optional)")
            self._codec = _tpc.Codec(*(_int(d, n) for d, n in zip(dims + (nz, kz),
                                                                   ("nx", "kx", "ny", "ky", "nz", "kz"))))
        elif isinstance(code, str):
            self._codec = _tpc.Codec(code)
        else:
            raise TypeError(f"ProductCode: expected a text like '64,57x64,57', got {type(code).__name__}")
        self.nx, self.kx, self.ny, self.ky, self.nz, self.kz = self._codec.dims

    N = property(lambda self: self.nx * self.ny * self.nz, doc="code bits per block")
    K = property(lambda self: self.kx * self.ky * self.kz, doc="information bits per block")
    rate = property(lambda self: self.K / self.N)
    dimensions = property(lambda self: 3 if self.kz >= 2 else 2)
    fastest_path = property(lambda self: self._codec.fastest_path,
                            doc="the decoder path 'fastest' stands for with this code here")

    def __str__(self):
        return self._codec.text

    def __repr__(self):
        return f"tpc.ProductCode('{self._codec.text}')"

    def __eq__(self, other):
        return isinstance(other, ProductCode) and self._codec.dims == other._codec.dims

    def __hash__(self):
        return hash(self._codec.dims)

    def __reduce__(self):
        return ProductCode, (self._codec.text,)

    def encode(self, bits, *, interleave=False, threads=1):
        """Information bits (batch, K) or (K,) of 0/1 to code bits (batch, N) or (N,), uint8.

        interleave: emit each block in the helical order that decode(deinterleave=True) undoes.
        """
        info, single = _batch(bits, "bits", self.K, "biu", None)
        if info.dtype == np.bool_:
            info = info.view(np.uint8)
        elif info.dtype != np.uint8:
            if not np.all((info == 0) | (info == 1)):
                raise ValueError("bits: every bit must be 0 or 1")
            info = info.astype(np.uint8)
        out = self._codec.encode(info, bool(interleave), _int(threads, "threads"))
        return out[0] if single else out

    def decode(self, amplitudes, *, passes=_PASSES, weights=_WEIGHTS, selective_stop=False,
               deinterleave=False, resolution=_RESOLUTION, quant_limit=_QUANT_LIMIT, threads=1,
               path="fastest"):
        """Decode BPSK amplitudes (batch, N) or (N,), +1 for bit 1, quantised as the decoder
        node does: `resolution` bits over +-`quant_limit`.

        passes: maximum axis passes (1 ... 128); weights: X, Y, Z feedback in sixteenths
        (1 ... 16), one number for all three; selective_stop: stop once a cycle corrects nothing; deinterleave: the
        values come in the encoder's interleaved order; threads: threads for this batch;
        path: one of decoder_paths(). Returns Decoded(decisions, info, passes).
        """
        values, single = _batch(amplitudes, "amplitudes", self.N, "f", np.float64)
        result = self._codec.decode_amplitudes(
            values, _int(passes, "passes"), _weights(weights), bool(selective_stop),
            bool(deinterleave), _int(resolution, "resolution"), float(quant_limit),
            _int(threads, "threads"), str(path))
        return _decoded(result, single)

    def decode_soft(self, values, *, passes=_PASSES, weights=_WEIGHTS, selective_stop=False,
                    deinterleave=False, threads=1, path="fastest"):
        """Decode integer soft values (batch, N) or (N,), > 0 favouring bit 1 (e.g. the
        output of LlrTable.llrs reshaped to blocks); the decoder clips them to +-31.
        Other arguments as for decode."""
        soft, single = _batch(values, "soft values", self.N, "iu", None)
        soft = np.ascontiguousarray(_integers_as_int32(soft), dtype=np.int32)
        result = self._codec.decode_soft(
            soft, _int(passes, "passes"), _weights(weights), bool(selective_stop),
            bool(deinterleave), _int(threads, "threads"), str(path))
        return _decoded(result, single)

    def decode_llr(self, llrs, *, scale=DEFAULT_LLR_SCALE, passes=_PASSES, weights=_WEIGHTS,
                   selective_stop=False, deinterleave=False, threads=1, path="fastest"):
        """Decode real LLRs (batch, N) or (N,), > 0 favouring bit 1 as for decode_soft: each
        is multiplied by `scale`, rounded to the nearest integer (halves away from zero) and
        clipped to the decoder's +-31, then decoded as decode_soft decodes; an LLR that is not
        a number counts as 0. Other arguments as for decode_soft.

        The default scale, DEFAULT_LLR_SCALE, makes exact LLRs of BPSK over AWGN, 2y/sigma^2,
        decode with the error rates of decode() on the amplitudes y with its default quantiser
        (measured on the default code at Eb/N0 2.5 ... 3.2 dB).

        Choosing the scale for one's own demapper: the decoder works on integers clipped to
        +-31, so the scale sets both how finely the LLRs are resolved and where they saturate.
        Too small a scale rounds weak LLRs to 0 (no information) and coarsens the rest; too
        large a one clips most values at 31, so that sure and fairly sure bits look alike.
        Aim for typical |LLR| * scale of a few units to about 15 at the working point. For
        BPSK, 11.4 / (4 Es/N0) (about 1.8 for the default code near 3 dB) reproduces the
        quantiser's levels and decodes some 0.03 dB better than the quantiser itself (values
        rounded, not floored, and clipped at 31, not 16); from there, measure the error rates
        of a few scales around it on one's own link.
        """
        values, single = _batch(llrs, "llrs", self.N, "fiu", np.float64)
        result = self._codec.decode_llr(
            values, _real(scale, "scale"), _int(passes, "passes"), _weights(weights),
            bool(selective_stop), bool(deinterleave), _int(threads, "threads"), str(path))
        return _decoded(result, single)


def _int(value, name):
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, (int, np.integer)):
        raise TypeError(f"{name}: expected an integer, got {value!r}")
    return int(value)


def _real(value, name):
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name}: expected a real number, got {value!r}")
    return float(value)


def _weights(weights):
    """(X, Y, Z), or one number for all three as tpcsim's --weights takes it."""
    if np.ndim(weights) == 0:
        weights = (weights,) * 3
    weights = tuple(weights)
    if len(weights) != 3:
        raise ValueError(f"weights: expected three (X, Y, Z), got {len(weights)}")
    return [_int(w, "weights") for w in weights]


def _decoded(result, single):
    decisions, info, passes = result
    if single:
        return Decoded(decisions[0], info[0], passes[0])
    return Decoded(decisions, info, passes)


def read_constellation(path, points):
    """The first `points` points of a constellation file as a complex array (label = index).

    The file holds a leading integer, then per point an integer (not used), I and Q."""
    point_i, point_q = _tpc.read_constellation(str(path), _int(points, "points"))
    return point_i + 1j * point_q


def fading_channel(symbols, esn0_db, *, channel="rayleigh", rician_k=0.0, fading="fast", block=None, seed=1):
    """The channel of a fading link on its own, for experiments: returns (gains, received),
    complex128 arrays of the shape of `symbols`, with received = gains * symbols + noise.

    symbols   complex (or real) numbers of any shape, read in C order
    esn0_db   Es/N0 in dB, Es the mean |symbol|^2 of `symbols` (1 if all are 0); the noise
              is complex Gaussian of N0/2 per real dimension
    channel   "rayleigh": gains (a + jb)/sqrt(2), a and b standard normal;
              "rician": sqrt(K/(K+1)) + sqrt(1/(K+1)) times a Rayleigh gain, K = rician_k
              (line of sight on the real axis); "awgn": every gain 1
    fading    "fast": a gain per symbol; "block": one gain per `block` symbols
    seed      fixes gains and noise (two independent streams drawn from it)

    Every gain has mean power E|h|^2 = 1. A receiver that knows the gains matches with
    conj(gains) * received (BPSK: its real part) or equalises with received / gains."""
    symbols = np.asarray(symbols)
    if symbols.dtype.kind not in "fiuc":
        raise TypeError(f"symbols: expected numbers, got dtype {symbols.dtype}")
    if fading == "block" and block is None:
        raise ValueError("block: give the symbols per gain for block fading")
    flat = np.ascontiguousarray(symbols.reshape(-1), dtype=np.complex128)
    gains, received = _tpc.fading_channel(flat, _real(esn0_db, "esn0_db"), str(channel),
                                          _real(rician_k, "rician_k"), str(fading),
                                          0 if block is None else _int(block, "block"), _int(seed, "seed"))
    return gains.reshape(symbols.shape), received.reshape(symbols.shape)


class LlrTable:
    """The LLR calculator node's table for a constellation (complex points, label = index),
    Es/N0 as a plain ratio (a positive number) and the grid's half-width `limit` (above 0.001).

    llrs(samples) gives, per received sample, the m = floor(log2 M) soft values the node
    emits (int32, bit 0 first, > 0 favouring 1)."""

    def __init__(self, points, esno, limit=1.5):
        points = np.asarray(points)
        if points.dtype.kind not in "fiuc":
            raise TypeError(f"points: expected numbers, got dtype {points.dtype}")
        if points.ndim != 1:
            raise ValueError(f"points: expected one dimension, got shape {points.shape}")
        points = points.astype(np.complex128)
        self._table = _tpc.LlrTable(np.ascontiguousarray(points.real), np.ascontiguousarray(points.imag),
                                    _real(esno, "esno"), _real(limit, "limit"))

    def __reduce__(self):
        return LlrTable, (self.points, self.esno, self.limit)

    @classmethod
    def from_file(cls, path, points, esno, limit=1.5):
        """The table of the first `points` points of a constellation file."""
        return cls(read_constellation(path, points), esno, limit)

    bits_per_symbol = property(lambda self: self._table.bits_per_symbol)
    esno = property(lambda self: self._table.esno)
    limit = property(lambda self: self._table.limit)
    points = property(lambda self: np.asarray(self._table.point_i) + 1j * np.asarray(self._table.point_q))
    entries = property(lambda self: self._table.entries,
                       doc="the table, (256, 256, m): rows follow I, columns Q (read-only)")

    def llrs(self, samples):
        """Soft values of complex samples of any shape: int32 of shape samples.shape + (m,)."""
        samples = np.asarray(samples)
        if samples.dtype.kind not in "fiuc":
            raise TypeError(f"samples: expected numbers, got dtype {samples.dtype}")
        flat = samples.reshape(-1)
        out = self._table.lookup(np.ascontiguousarray(flat.real, dtype=np.float64),
                                 np.ascontiguousarray(flat.imag if np.iscomplexobj(flat)
                                                      else np.zeros(flat.shape), dtype=np.float64))
        return out.reshape(samples.shape + (self.bits_per_symbol,))
