"""tpcsim's results as its users see them, through the program and the Python package: the counts of a
point whatever else the sweep holds, the front end, a time limit, --resume or merge; runs of another
configuration refused; every interval against its definition; constellation files read as written."""
import glob
import json
import math
import os
import re
import shutil
import subprocess

import numpy as np
import pytest

import tpc

TPCSIM = os.environ.get("TPCSIM")
pytestmark = pytest.mark.skipif(not TPCSIM, reason="set TPCSIM to the tpcsim program")
SOURCE = os.environ.get("TPC_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
CONSTELLATIONS = os.path.join(SOURCE, "examples", "constellations")
QPSK_FILE = os.path.abspath(os.path.join(CONSTELLATIONS, "qpsk.txt"))

Z95 = 1.959963984540054
# What --resume and merge read back and must carry unchanged.
COUNTS = ("blocks", "bits", "bit_errors", "bit_errors_squared", "block_errors", "passes", "undetected_blocks")

# -1 dB ends on its errors, 6 dB on its blocks without an error.
SWEEP = dict(code="16,11x16,11", iterations=4, batch=4, seed=3, errors=60, max_blocks=200, ebn0="-1,1,3,6")
QPSK = dict(SWEEP, ebn0=None, esn0="-1,2,5", constellation=QPSK_FILE, points=4)
# One block a point: a spread from a single count, and a point without errors.
EDGE = dict(SWEEP, ebn0="-3,8", batch=1, errors=1, max_blocks=1)
# A point that takes longer than its time limit.
LONG = dict(SWEEP, ebn0=6, max_blocks=100000)


def arguments(options, **changes):
    merged = dict(options, **changes)
    return [text for name, value in merged.items() if value is not None
            for text in ("--" + name.replace("_", "-"), str(value))]


def python_options(options, **changes):
    return {name: value for name, value in dict(options, **changes).items() if value is not None}


def tpcsim(*args, code=0):
    done = subprocess.run([TPCSIM, *map(str, args)], capture_output=True, text=True, timeout=120)
    assert done.returncode == code, f"tpcsim {' '.join(map(str, args))}: exit {done.returncode}: {done.stderr}"
    return done


def read_json(directory):
    with open(os.path.join(directory, "results.json")) as file:
        return json.load(file)


def read_csv_rows(directory):
    with open(os.path.join(directory, "results.csv")) as file:
        header, *lines = file.read().splitlines()
    return [dict(zip(header.split(","), line.split(","))) for line in lines]


def point_at(doc, value, key="ebn0_db"):
    found = [p for p in doc["points"] if abs(p[key] - value) < 1e-9]
    assert len(found) == 1, f"{key} {value}: {len(found)} points"
    return found[0]


def counts(point):
    return {name: point[name] for name in COUNTS}


@pytest.fixture(scope="module")
def runs(tmp_path_factory):
    """Every run's directory and outputs (stdout, results.json, results.csv as they stood after it)."""
    work = tmp_path_factory.mktemp("runs")
    path = lambda name: str(work / name)
    outputs = {}

    def run(name, directory, *args):
        done = tpcsim(*args)
        outputs[name] = dict(dir=path(directory), stdout=done.stdout, stderr=done.stderr,
                             json=read_json(path(directory)), csv=read_csv_rows(path(directory)))

    run("sweep", "sweep", *arguments(SWEEP, threads=2, out=path("sweep")))
    run("alone", "alone", *arguments(SWEEP, ebn0=1, threads=1, out=path("alone")))
    run("qpsk", "qpsk", *arguments(QPSK, threads=2, out=path("qpsk")))
    run("edge", "edge", *arguments(EDGE, threads=1, out=path("edge")))
    # A sweep cut short: -1 dB finished, 1 dB stopped by the time limit; then resumed to the end.
    run("first", "resumed", *arguments(SWEEP, ebn0=-1, threads=1, out=path("resumed")))
    run("limited", "resumed", *arguments(SWEEP, ebn0=1, threads=1, max_time_per_point=1e-9, resume=path("resumed")))
    shutil.copytree(path("resumed"), path("partial"))
    run("resumed", "resumed", *arguments(SWEEP, threads=1, resume=path("resumed")))
    # An Es/N0 sweep extended: its points are found by Es/N0.
    shutil.copytree(path("qpsk"), path("qpsk_resumed"))
    run("qpsk_resumed", "qpsk_resumed", *arguments(QPSK, esn0="-1,2,5,8", threads=1, resume=path("qpsk_resumed")))
    # Raised limits: the points under the old ones continue to a fresh run's counts.
    run("low", "raised", *arguments(SWEEP, threads=2, out=path("raised")))
    run("raised", "raised", *arguments(SWEEP, max_blocks=600, threads=1, resume=path("raised")))
    run("fresh600", "fresh600", *arguments(SWEEP, max_blocks=600, threads=2, out=path("fresh600")))
    run("cut", "cut", *arguments(LONG, threads=2, max_time_per_point=0.02, out=path("cut")))
    run("continued", "cut", *arguments(LONG, threads=1, resume=path("cut")))
    # Another seed pooled with two runs of seed 3 (one of them partial).
    # Past its first point without errors: a stop rule, free to differ between runs.
    run("seed7", "seed7", *arguments(SWEEP, seed=7, ebn0="1,3,6,8", threads=2, out=path("seed7")), "--no-zero-stop")
    run("pooled", "pooled", "merge", path("sweep"), path("seed7"), path("partial"), "-o", path("pooled"))
    run("merged", "merged", "merge", path("partial"), path("sweep"), "-o", path("merged"))
    run("merged_reversed", "merged_reversed", "merge", path("sweep"), path("partial"), "-o", path("merged_reversed"))
    return outputs


@pytest.fixture(scope="module")
def simulated():
    """tpc.simulate of the same options, with the tpcsim run of each."""
    return [(tpc.simulate(**python_options(SWEEP, threads=1)), "sweep"),
            (tpc.simulate(**python_options(SWEEP, ebn0=1, threads=2)), "alone"),
            (tpc.simulate(**python_options(QPSK, threads=1)), "qpsk")]


def test_resumed_or_merged_points_count_as_run_alone(runs):
    alone = counts(point_at(runs["alone"]["json"], 1.0))
    cut = point_at(runs["limited"]["json"], 1.0)
    assert cut["time_limited"] and cut["blocks"] < alone["blocks"], cut
    assert "(time limit)" in runs["limited"]["stdout"]
    for name in ("resumed", "merged", "merged_reversed"):
        doc = runs[name]["json"]
        assert [p["ebn0_db"] for p in doc["points"]] == [-1.0, 1.0, 3.0, 6.0], name
        for point in doc["points"]:
            assert not point["time_limited"], (name, point)
            assert counts(point) == counts(point_at(runs["sweep"]["json"], point["ebn0_db"])), (name, point)
        assert counts(point_at(doc, 1.0)) == alone, name
    # The finished point was kept, the cut one run again.
    rows = {line.split()[0]: line for line in runs["resumed"]["stdout"].splitlines() if not line.startswith("#")}
    assert "(kept)" in rows["-1.00"] and "(kept)" not in rows["1.00"]
    extended = runs["qpsk_resumed"]
    assert extended["stdout"].count("(kept)") == 3
    for point in runs["qpsk"]["json"]["points"]:
        assert counts(point_at(extended["json"], point["esn0_db"], "esn0_db")) == counts(point)


def test_resume_under_raised_limits_counts_as_a_run_under_them_from_the_start(runs):
    raised, fresh = runs["raised"]["json"]["points"], runs["fresh600"]["json"]["points"]
    assert [counts(p) for p in raised] == [counts(p) for p in fresh]
    assert any(p["blocks"] > 200 for p in raised) and runs["raised"]["stdout"].count("(kept)") == 2
    cut = point_at(runs["cut"]["json"], 6.0)
    assert cut["time_limited"] and cut["blocks"] < LONG["max_blocks"], cut
    unlimited = tpc.simulate(**python_options(LONG, threads=2))
    continued = point_at(runs["continued"]["json"], 6.0)
    assert not continued["time_limited"]
    assert counts(continued) == {name: unlimited[name][0] for name in COUNTS}


def test_merge_pools_the_counts_of_other_seeds_and_counts_one_seed_once(runs, tmp_path):
    pooled, sweep, seed7 = (runs[name]["json"] for name in ("pooled", "sweep", "seed7"))
    assert pooled["seeds"] == [3, 7] and pooled["seed"] == 3
    assert "pooled the counts of seeds 3, 7" in runs["pooled"]["stderr"]
    assert [p["ebn0_db"] for p in pooled["points"]] == [-1.0, 1.0, 3.0, 6.0, 8.0]
    for point in pooled["points"]:
        parts = [counts(p) for doc in (sweep, seed7) for p in doc["points"] if p["ebn0_db"] == point["ebn0_db"]]
        assert counts(point) == {name: sum(part[name] for part in parts) for name in COUNTS}, point
    tpcsim("merge", runs["sweep"]["dir"], runs["sweep"]["dir"], "-o", tmp_path / "twice")
    assert read_json(tmp_path / "twice")["points"] == sweep["points"]
    # Seed 7 pooled already: not again, and a pooled run is not one seed's units to continue.
    done = tpcsim("merge", runs["pooled"]["dir"], runs["seed7"]["dir"], "-o", tmp_path / "again", code=2)
    assert "seed 7" in done.stderr
    done = tpcsim(*arguments(SWEEP, threads=1, resume=runs["pooled"]["dir"]), code=2)
    assert "several seeds" in done.stderr


@pytest.mark.parametrize("name", ["sweep", "qpsk", "resumed"])
def test_merge_of_one_directory_reproduces_its_files(runs, name, tmp_path):
    source = runs[name]["dir"]
    tpcsim("merge", source, "-o", tmp_path / "out")
    with open(os.path.join(source, "results.csv")) as a, open(tmp_path / "out" / "results.csv") as b:
        assert b.read() == a.read()
    original, merged = read_json(source), read_json(tmp_path / "out")
    for key in ("points", "configuration", "code", "seed"):
        assert merged[key] == original[key], key


def edited(source, directory, change):
    shutil.copytree(source, directory)
    doc = read_json(directory)
    change(doc["configuration"])
    with open(os.path.join(directory, "results.json"), "w") as file:
        json.dump(doc, file)
    return str(directory)


# (key, base run, options of the other run or an edit of the base run's configuration, whether the
# other side's options can resume the base: a key left out of a file stands for its default there).
OTHER_CONFIGURATIONS = [
    ("iterations", "sweep", dict(SWEEP, ebn0=1, iterations=5), True),
    ("llr-esno", "qpsk", dict(QPSK, esn0=2, llr_esno=2.5), True),
    ("threshold", "sweep", lambda c: c.pop("threshold"), False),
    ("llr-esno", "sweep", lambda c: c.update({"llr-esno": 2.0}), True),
]


@pytest.mark.parametrize("key,base,other,both_ways", OTHER_CONFIGURATIONS)
def test_another_configuration_is_refused_both_ways(runs, tmp_path, key, base, other, both_ways):
    ours = runs[base]["dir"]
    if callable(other):
        theirs = edited(ours, tmp_path / "theirs", other)
    else:
        theirs = str(tmp_path / "theirs")
        tpcsim(*arguments(other, threads=1, out=theirs))
    for n, dirs in enumerate([(ours, theirs), (theirs, ours)]):
        done = tpcsim("merge", *dirs, "-o", tmp_path / f"merged{n}", code=2)
        assert key in done.stderr, (dirs, done.stderr)
        assert not os.path.exists(tmp_path / f"merged{n}" / "results.json")
    for n, (options_from, resumed) in enumerate([(ours, theirs), (theirs, ours)][:2 if both_ways else 1]):
        copy = tmp_path / f"resumed{n}"
        shutil.copytree(resumed, copy)
        done = tpcsim("--config", os.path.join(options_from, "results.json"), "--quiet", "--resume", copy, code=2)
        assert key in done.stderr, (options_from, resumed, done.stderr)
        assert read_json(copy) == read_json(resumed)


def test_a_point_counts_the_same_alone_in_a_sweep_and_in_both_front_ends(runs, simulated):
    assert counts(point_at(runs["sweep"]["json"], 1.0)) == counts(point_at(runs["alone"]["json"], 1.0))
    for result, name in simulated:
        doc = runs[name]["json"]
        assert len(result["blocks"]) == len(doc["points"]), name
        for i, point in enumerate(doc["points"]):
            for column in ("blocks", "bits", "bit_errors", "block_errors", "time_limited"):
                assert result[column][i] == point[column], (name, column, point)
            assert result["avg_passes"][i] * point["blocks"] == pytest.approx(point["passes"], abs=1e-6)
            for column in ("ebn0_db", "esn0_db", "ber", "fer", "ber_low95", "ber_high95", "fer_low95",
                           "fer_high95"):
                assert result[column][i] == pytest.approx(point[column], rel=1e-12, abs=1e-300), (name, column)
    sweep = simulated[0][0]
    one = list(sweep["ebn0_db"]).index(1.0)
    for column in ("blocks", "bits", "bit_errors", "block_errors", "avg_passes"):
        assert simulated[1][0][column][0] == sweep[column][one], column


def test_undetected_block_errors_are_known_to_the_block_engine_only(tmp_path):
    seen = {}
    for engine in ("blocks", "nodes"):
        out = tmp_path / engine
        stdout = tpcsim(*arguments(SWEEP, ebn0=-1, max_blocks=16, engine=engine, threads=1, out=out)).stdout
        row = [line for line in stdout.splitlines() if line.startswith(" -1.00")]
        seen[engine] = (read_json(out)["points"][0]["undetected_blocks"], read_csv_rows(out)[0]["undetected_blocks"],
                        row[0].split()[6])  # the table's undet. column
    undetected = seen["blocks"][0]
    assert isinstance(undetected, int) and seen["blocks"] == (undetected, str(undetected), str(undetected))
    assert seen["nodes"] == (None, "", "-")


def wilson(errors, trials):
    """The p whose normal 95% test accepts errors of trials: roots of (e/n - p)^2 = z^2 p (1 - p) / n."""
    if trials == 0:
        return 0.0, 1.0
    n, e, z2 = trials, errors, Z95 * Z95
    a, b, c = n + z2, -(2 * e + z2), e * e / n
    root = math.sqrt(max(b * b - 4 * a * c, 0.0))
    return (-b - root) / (2 * a), (-b + root) / (2 * a)


def block_ber_interval(blocks, bits, bit_errors, squares, block_errors):
    """Mean bit errors per block +- z s / sqrt(n) over K bits, within FER low / K ... FER high."""
    fer_low, fer_high = wilson(block_errors, blocks)
    if blocks == 0:
        return 0.0, 1.0
    if bit_errors == 0:
        return 0.0, fer_high
    k, mean = bits / blocks, bit_errors / blocks
    spread = (squares - bit_errors * bit_errors / blocks) / (blocks - 1) if blocks > 1 else mean * mean
    half = Z95 * math.sqrt(max(spread, 0.0) / blocks)
    low = max((mean - half) / k, fer_low / k)
    return low, max(low, min((mean + half) / k, fer_high))


def half_unit(value):
    """Half the last printed digit of a number as text; a float stands for itself."""
    if not isinstance(value, str):
        return 1e-12 * abs(value) + 1e-15
    mantissa, _, exponent = value.lower().partition("e")
    decimals = len(mantissa.partition(".")[2])
    return 0.5 * 10.0 ** (int(exponent or 0) - decimals) * (1 + 1e-9) + 1e-15


def check_intervals(where, shown, point):
    """shown: estimate and interval ends as an output gives them (floats or text)."""
    expected = dict(ber=point["bit_errors"] / point["bits"] if point["bits"] else 0.0,
                    fer=point["block_errors"] / point["blocks"] if point["blocks"] else 0.0)
    expected["ber_low95"], expected["ber_high95"] = block_ber_interval(
        *(point[k] for k in ("blocks", "bits", "bit_errors", "bit_errors_squared", "block_errors")))
    expected["fer_low95"], expected["fer_high95"] = wilson(point["block_errors"], point["blocks"])
    for name, value in shown.items():
        assert abs(float(value) - expected[name]) <= half_unit(value), (where, name, value, expected[name])
    for rate in ("ber", "fer"):
        if rate + "_low95" in shown:
            low, estimate, high = (shown[rate + end] for end in ("_low95", "", "_high95"))
            assert float(low) - half_unit(low) <= float(estimate) + half_unit(estimate), (where, rate)
            assert float(estimate) - half_unit(estimate) <= float(high) + half_unit(high), (where, rate)


TABLE_ROW = re.compile(r"^\s*(-?[\d.]+)\s+(-?[\d.]+)\s+(\d+)\s+(\d+)\s+(\S+)\s+(\d+)\s+(\d+)\s+(\S+)\s+\[\s*(\S+),\s*(\S+)\]")
INTERVAL_COLUMNS = ("ber", "ber_low95", "ber_high95", "fer", "fer_low95", "fer_high95")


def test_every_interval_follows_its_definition(runs, simulated):
    checked = []
    for name, run in runs.items():
        points = run["json"]["points"]
        for point in points:
            check_intervals((name, "json"), {c: point[c] for c in INTERVAL_COLUMNS}, point)
            checked.append(point)
        assert len(run["csv"]) == len(points)
        for row, point in zip(run["csv"], points):
            assert all(int(row[c]) == point[c] for c in ("blocks", "bits", "bit_errors", "block_errors"))
            check_intervals((name, "csv"), {c: row[c] for c in INTERVAL_COLUMNS}, point)
        for line in run["stdout"].splitlines():
            if line.startswith("#") or "Eb/N0" in line:
                continue
            match = TABLE_ROW.match(line)
            assert match, (name, line)
            ebn0, _, blocks, bit_errors, ber, block_errors, undetected, fer, low, high = match.groups()
            point = min(points, key=lambda p: abs(p["ebn0_db"] - float(ebn0)))
            assert (int(blocks), int(bit_errors), int(block_errors), int(undetected)) == (
                point["blocks"], point["bit_errors"], point["block_errors"], point["undetected_blocks"]), (name, line)
            check_intervals((name, "table", line), dict(ber=ber, fer=fer, ber_low95=low, ber_high95=high), point)
    for result, name in simulated:
        for i, point in enumerate(runs[name]["json"]["points"]):
            check_intervals((name, "python"), {c: result[c][i] for c in INTERVAL_COLUMNS}, point)
    # The cases the definitions single out were all met.
    assert any(p["blocks"] == 1 and p["bit_errors"] > 0 for p in checked)
    assert any(p["blocks"] > 1 and p["bit_errors"] == 0 for p in checked)
    assert any(p["block_errors"] == p["blocks"] > 1 for p in checked)


@pytest.mark.parametrize("path", sorted(glob.glob(os.path.join(CONSTELLATIONS, "*.txt"))),
                         ids=os.path.basename)
def test_read_constellation_is_the_file_and_its_points_decode_to_their_labels(path):
    with open(path) as file:
        words = file.read().split()
    count = int(words[0])
    rows = np.array(words[1:1 + 3 * count], dtype=float).reshape(count, 3)
    np.testing.assert_array_equal(rows[:, 0], np.arange(count))  # label order, as the files promise
    expected = rows[:, 1] + 1j * rows[:, 2]
    np.testing.assert_allclose(tpc.read_constellation(path, count), expected, rtol=0, atol=1e-15)
    # Each noiseless point: every bit of its label the likelier one, > 0 favouring 1, bit 0 first.
    # Not so at 256 points: the metric factor is limited to 8 above 32 points, too little for
    # their spacing, and a few edge bits lean the other way.
    if count == 256:
        return
    table = tpc.LlrTable.from_file(path, count, esno=100.0)
    bits = int(math.log2(count))
    labels = (np.arange(count)[:, None] >> np.arange(bits)) & 1
    llrs = table.llrs(expected)
    assert np.all(llrs != 0)
    np.testing.assert_array_equal(llrs > 0, labels == 1)
