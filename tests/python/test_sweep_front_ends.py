"""tpc.simulate and tpcsim are two front ends of one sweep: the same files for the same options,
resume and progress from Python, Ctrl-C keeping the finished points, refusals as ValueError."""
import _thread
import csv
import json
import os
import subprocess
import threading

import pytest

import tpc

TPCSIM = os.environ.get("TPCSIM")
OPTIONS = dict(code="16,11x16,11", ebn0="1:2:0.5", max_blocks=160, batch=16, iterations=8, seed=3, threads=2)
TIMES = {"seconds", "info_mbit_per_s"}


def tpcsim(*args):
    return subprocess.run([TPCSIM, *args], capture_output=True, text=True, timeout=120)


def command_line(options):
    args = []
    for name, value in options.items():
        args += ["--" + name.replace("_", "-"), str(value)]
    return args


def read_run(directory):
    """results.csv rows and results.json without the times and the command line."""
    with open(os.path.join(directory, "results.csv"), newline="") as f:
        rows = [{k: v for k, v in row.items() if k not in TIMES} for row in csv.DictReader(f)]
    with open(os.path.join(directory, "results.json")) as f:
        doc = json.load(f)
    for key in ("seconds", "command_line"):
        doc.pop(key)
    for point in doc["points"]:
        for key in TIMES:
            point.pop(key)
    return rows, doc


@pytest.mark.skipif(not TPCSIM, reason="needs TPCSIM, the path of the tpcsim program")
def test_simulate_writes_tpcsims_files(tmp_path):
    ours, theirs = tmp_path / "python", tmp_path / "tpcsim"
    result = tpc.simulate(out=str(ours), **OPTIONS)
    done = tpcsim(*command_line(OPTIONS), "--out", str(theirs), "--quiet")
    assert done.returncode == 0, done.stderr
    assert read_run(ours) == read_run(theirs)
    with open(ours / "plot.gp") as a, open(theirs / "plot.gp") as b:
        assert a.read() == b.read()
    rows, _ = read_run(ours)
    assert [int(r["bit_errors"]) for r in rows] == list(result["bit_errors"])


def test_resume_continues_a_run_and_refuses_another(tmp_path):
    first = tpc.simulate(out=str(tmp_path), **dict(OPTIONS, ebn0="1:1.5:0.5"))
    more = tpc.simulate(resume=str(tmp_path), **OPTIONS)
    assert list(more["ebn0_db"]) == [1.0, 1.5, 2.0]
    for name in ("blocks", "bit_errors", "block_errors", "seconds"):
        assert list(more[name][:2]) == list(first[name])
    alone = tpc.simulate(**dict(OPTIONS, ebn0=2.0))
    assert more["bit_errors"][2] == alone["bit_errors"][0]
    with open(tmp_path / "results.json") as f:
        assert len(json.load(f)["points"]) == 3
    with pytest.raises(ValueError, match="another configuration .seed: 4 here, 3 there"):
        tpc.simulate(resume=str(tmp_path), **dict(OPTIONS, seed=4))
    with pytest.raises(ValueError, match="no results.json in"):
        tpc.simulate(resume=str(tmp_path / "missing"), **OPTIONS)
    with pytest.raises(ValueError, match="^resume writes into the directory it continues: leave out out"):
        tpc.simulate(resume=str(tmp_path), out=str(tmp_path / "elsewhere"), **OPTIONS)


def test_pass_list_gives_each_count_its_own_run_and_resumes_by_count(tmp_path):
    # Resumed with more blocks: each row continues its own count's units.
    options = dict(OPTIONS, iterations=[8, 2], max_blocks=320)
    first = tpc.simulate(out=str(tmp_path), **dict(options, ebn0="1:1.5:0.5", max_blocks=160))
    assert list(first["iterations"]) == [2, 2, 8, 8]
    more = tpc.simulate(resume=str(tmp_path), **options)
    for count in (2, 8):
        alone = tpc.simulate(**dict(OPTIONS, iterations=count, max_blocks=320))
        rows = more["iterations"] == count
        for name in ("ebn0_db", "blocks", "bit_errors", "block_errors", "passes"):
            assert list(more[name][rows]) == list(alone[name]), (count, name)
    assert (tmp_path / "passes.gp").exists()


def test_refusals_are_value_errors():
    with pytest.raises(ValueError, match="TPCENCODE refused its parameters"):
        tpc.simulate(code="8,5x8,4", ebn0=[1])
    with pytest.raises(ValueError, match="^out: cannot"):
        tpc.simulate(out="/proc/no/such/dir", **OPTIONS)


def test_progress_is_reported_and_its_exception_stops_the_sweep(tmp_path):
    seen = []

    def progress(p):
        seen.append(p)
        if p["point"] == 3:
            raise LookupError("enough")

    slow = dict(OPTIONS, ebn0="1:2:0.5", max_blocks=10**9, errors=10**9, max_time_per_point=0.4, threads=1)
    with pytest.raises(LookupError, match="enough"):
        tpc.simulate(out=str(tmp_path), progress=progress, **slow)
    assert {p["point"] for p in seen} == {1, 2, 3} and seen[0]["points"] == 3
    assert all(p["blocks"] >= 0 and p["ebn0_db"] in (1.0, 1.5, 2.0) for p in seen)
    with open(tmp_path / "results.json") as f:
        doc = json.load(f)
    assert [p["ebn0_db"] for p in doc["points"]] == [1.0, 1.5] and doc["interrupted"]


def test_ctrl_c_keeps_the_finished_points(tmp_path):
    slow = dict(OPTIONS, ebn0="0:20:0.5", max_blocks=10**9, errors=10**9, max_time_per_point=0.3, threads=1)
    timer = threading.Timer(1.0, _thread.interrupt_main)
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            tpc.simulate(out=str(tmp_path), **slow)
    finally:
        timer.cancel()
    with open(tmp_path / "results.json") as f:
        doc = json.load(f)
    assert 1 <= len(doc["points"]) < 41 and doc["interrupted"]
    assert all(p["time_limited"] for p in doc["points"])
