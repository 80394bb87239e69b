"""The install route: the checkout pip-installed, offline and without build isolation, into a fresh
venv that sees the system's packages (NumPy, setuptools), then tpc imported from outside the tree.
It compiles the module again (ccache helps, through CMAKE_ARGS); TPC_SKIP_INSTALL_TEST=1 skips it."""
import os
import subprocess
import sys

import pytest

SOURCE = os.environ.get("TPC_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))


@pytest.mark.skipif(os.environ.get("TPC_SKIP_INSTALL_TEST") == "1", reason="TPC_SKIP_INSTALL_TEST=1")
def test_pip_installs_the_checkout_into_a_venv(tmp_path):
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)], check=True)
    python = str(venv / "bin" / "python")
    # Nothing of the build tree or the checkout on the path: the installed copy only.
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    install = subprocess.run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", SOURCE],
                             env=env, capture_output=True, text=True)
    assert install.returncode == 0, install.stdout[-3000:] + install.stderr[-3000:]
    check = ("import numpy as np, tpc\n"
             "code = tpc.ProductCode('16,11x16,11')\n"
             "bits = np.random.default_rng(1).integers(0, 2, (3, code.K), dtype=np.uint8)\n"
             "assert (code.decode(2.0 * code.encode(bits) - 1.0).info == bits).all()\n"
             "print(tpc.__file__)\n")
    run = subprocess.run([python, "-c", check], cwd=tmp_path, env=env, capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert run.stdout.strip().startswith(str(venv)), run.stdout
