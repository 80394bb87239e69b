"""Kept failures replayed from both front ends: tpcsim replay's exit code, summary and .npy files,
and tpc.replay's arrays, agree with each other and with the counts the run recorded."""
import csv
import os
import subprocess

import numpy as np
import pytest

import tpc

TPCSIM = os.environ.get("TPCSIM")


def tpcsim(*args):
    return subprocess.run([TPCSIM, *args], capture_output=True, text=True, timeout=120)


@pytest.mark.skipif(not TPCSIM, reason="needs TPCSIM, the path of the tpcsim program")
@pytest.mark.parametrize("link", [["--code", "16,11x16,11", "--ebn0", "1.5"],
                                  ["--code", "16,11x16,11", "--interleave", "--constellation",
                                   os.path.join(os.environ.get("TPC_SOURCE_DIR", "."),
                                                "examples/constellations/8psk.txt"),
                                   "--points", "8", "--ebn0", "4"]])
def test_tpcsim_replay_and_tpc_replay_give_the_recorded_blocks(tmp_path, link):
    run = tmp_path / "run"
    done = tpcsim(*link, "--max-blocks", "120", "--keep-failures", "3", "--quiet", "--out", str(run))
    assert done.returncode == 0, done.stderr
    with open(run / "failures.csv", newline="") as f:
        kept = list(csv.DictReader(f))
    assert len(kept) == 3
    for row in kept:
        point, n = float(row["ebn0_db"]), int(row["failure"])
        out = tmp_path / f"replay{n}"
        done = tpcsim("replay", str(run), "--point", row["ebn0_db"], "--failure", str(n), "--out", str(out))
        assert done.returncode == 0, done.stdout + done.stderr
        assert "regenerated as recorded" in done.stdout
        block = tpc.replay(run, point, n)
        assert block["matches_record"]
        assert block["bit_errors"] == int(row["bit_errors"]) > 0
        assert block["detected"] == (row["detected"] == "1")
        assert block["passes"] == int(row["passes"])
        # The files hold the arrays tpc.replay returns.
        for name in ("information_bits", "code_bits", "decoder_input", "decisions"):
            saved = np.load(out / f"{name}.npy")
            assert saved.dtype == block[name].dtype and np.array_equal(saved, block[name]), name
        received = np.load(out / "received.npy")
        if np.iscomplexobj(block["received"]):
            received = received[:, 0] + 1j * received[:, 1]
        assert np.array_equal(received, block["received"])
        # The decisions read at the information positions hold the recorded bit errors.
        ky, kx = block["information_bits"].shape
        wrong = block["decisions"][:ky, :kx] != block["information_bits"]
        assert wrong.sum() == block["bit_errors"]
        assert np.array_equal(block["decoding_errors"], block["decisions"] != block["code_bits"])
        assert (out / "error_pattern.png").stat().st_size > 0


@pytest.mark.skipif(not TPCSIM, reason="needs TPCSIM, the path of the tpcsim program")
def test_tpcsim_replay_refuses_with_exit_code_2(tmp_path):
    run = tmp_path / "run"
    assert tpcsim("--code", "16,11x16,11", "--ebn0", "1.5", "--max-blocks", "64", "--keep-failures", "1",
                  "--quiet", "--out", str(run)).returncode == 0
    for args, message in [(["--point", "2", "--failure", "1"], "no point at 2.00 dB"),
                          (["--point", "1.5", "--failure", "2"], "kept 1 failing block (1 ... 1)"),
                          (["--point", "1.5"], "give DIR, --point EBN0 and --failure N")]:
        done = tpcsim("replay", str(run), *args)
        assert done.returncode == 2 and message in done.stderr, (args, done.stderr)
    with pytest.raises(ValueError, match="no point at 2.00 dB"):
        tpc.replay(run, 2.0, 1)
    done = tpcsim("--code", "16,11x16,11", "--engine", "nodes", "--keep-failures", "1")
    assert done.returncode == 2 and "--keep-failures: the nodes engine" in done.stderr
