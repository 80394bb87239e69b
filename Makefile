# Top-level entry points. Both install what they lack on a fresh Debian 12
# machine, configure and build what they need, and run.
#   make run    the demonstration (the link simulator's default sweep)
#   make test   every test preset (the 32-bit one emulated where the kernel
#               cannot run it), the Windows DLLs with their export tables and
#               the disassembly of their wide decoder paths, and the node
#               tests and real dialogs of the 64-bit DLL under wine
SHELL := /bin/bash
JOBS ?= $(shell nproc)
# 32-bit Linux tests: AUTO runs them natively where the kernel can execute
# 32-bit programs and under qemu-i386 where it cannot; ON always emulates.
TPC_EMULATE_32 ?= AUTO
export TPC_EMULATE_32
# The Python the package is built for: Debian's, whose NumPy and pybind11 the
# build uses, where it exists (the first python3 on PATH may lack NumPy).
PYTHON ?= $(if $(wildcard /usr/bin/python3),/usr/bin/python3,python3)

.PHONY: run test python setup-run setup-python setup-test native asan linux32 win32 win64 test-native test-asan test-linux32 fuzz bench clean

setup-run:
	@scripts/setup.sh run

setup-python:
	@scripts/setup.sh python

setup-test:
	@scripts/setup.sh test

linux32_settings := -DTPC_EMULATE_32=$(TPC_EMULATE_32)

native asan linux32 win32 win64:
	cmake --preset $@ $($@_settings) >/dev/null
	cmake --build build/$@ -j $(JOBS)

test-native test-asan: test-%: %
	ctest --preset $* -j $(JOBS)

# Says how the 32-bit tests ran (natively or emulated), whatever the outcome.
test-linux32: linux32
	@ctest --preset linux32 -j $(JOBS); status=$$?; cat build/linux32/tests_32bit.txt; exit $$status

# The link simulator's embedded default sweep; table on stdout, files in results/.
run: setup-run
	cmake --preset native >/dev/null
	cmake --build build/native -j $(JOBS) --target tpcsim
	./build/native/tpcsim

# The Python package for developers: build/native/python/tpc, imported with
# PYTHONPATH=build/native/python (make test runs its pytest tests with the
# other native tests). Installing it: python -m pip install --no-build-isolation .
python: setup-python
	@$(PYTHON) -c 'import numpy' 2>/dev/null || { echo "python: $(PYTHON) cannot import NumPy;" \
	  "install python3-numpy for Debian's python3, or give make python PYTHON=a-python-with-numpy"; exit 1; }
	cmake --preset native -DTPC_PYTHON=ON -DPython_EXECUTABLE=$$(command -v $(PYTHON)) >/dev/null
	cmake --build build/native -j $(JOBS) --target tpc_python
	@echo "python: PYTHONPATH=build/native/python $(PYTHON) -c 'import tpc'"

test: setup-test
	$(MAKE) test-native
	$(MAKE) test-asan
	$(MAKE) fuzz
	$(MAKE) test-linux32
	$(MAKE) win32 win64
	scripts/wine_tests.sh build/win64
	scripts/check_exports.sh build/native/libtpc.so build/linux32/libtpc.so build/win32/tpc.dll build/win64/tpc.dll
	scripts/check_wide_paths.sh build/win32/tpc.dll build/win64/tpc.dll

# Each libFuzzer target of tests/fuzz for FUZZ_SECONDS on its committed seeds
# (new inputs go to build/fuzz/corpus). Any finding (sanitizer report, leak,
# crash, an input slower than 25 s) fails the step; the input that caused it
# is left in build/fuzz/artifacts/ and the log in build/fuzz/<target>.log.
FUZZ_SECONDS ?= 30
FUZZ_TARGETS := parameters samples constellation config results constellation_check
fuzz:
	cmake --preset fuzz >/dev/null
	cmake --build build/fuzz -j $(JOBS) --target fuzz_targets
	@mkdir -p build/fuzz/artifacts
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t; \
	  echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	  ./build/fuzz/$${t}_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=25 -rss_limit_mb=2560 \
	    -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/$$t- \
	    build/fuzz/corpus/$$t tests/fuzz/corpus/$$t > build/fuzz/$$t.log 2>&1 \
	    || { tail -n 60 build/fuzz/$$t.log; echo "fuzz: $$t found a problem"; exit 1; }; \
	  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' build/fuzz/$$t.log; \
	done

bench: setup-run native
	./build/native/tpc_bench

clean:
	rm -rf build
