"""The tpc package's build: CMake on the top-level project with the Python package only (tests
and benchmarks off; tpcsim's core is built, since tpc.simulate runs it), then tpc/__init__.py and
the _tpc extension into the wheel. The extension is built for the Python running this script.

CMAKE_ARGS adds options to the configure step (e.g. -DCMAKE_CXX_COMPILER_LAUNCHER=ccache);
CMAKE_BUILD_PARALLEL_LEVEL sets the build's jobs (default: all cores).
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import sysconfig
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    return re.search(r"project\(tpc VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        configure = ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                     "-DTPC_PYTHON=ON", "-DTPC_TESTS=OFF", "-DTPC_BENCH=OFF", "-DTPC_MPI=OFF",
                     f"-DPython_EXECUTABLE={sys.executable}"]
        if shutil.which("ninja") and not (build / "CMakeCache.txt").exists():
            configure += ["-G", "Ninja"]
        configure += shlex.split(os.environ.get("CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        jobs = [] if "CMAKE_BUILD_PARALLEL_LEVEL" in os.environ else ["-j", str(os.cpu_count() or 1)]
        subprocess.run(["cmake", "--build", str(build), "--target", "tpc_python", *jobs], check=True)
        built = build / "python" / "tpc" / ("_tpc" + sysconfig.get_config_var("EXT_SUFFIX"))
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(
    version=project_version(),
    packages=["tpc"],
    package_dir={"tpc": "python/tpc"},
    ext_modules=[Extension("tpc._tpc", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
