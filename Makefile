# Top-level entry points. Both install what they lack on a fresh Debian 12
# machine, configure and build what they need, and run.
#   make run    the demonstration (the link simulator's default sweep)
#   make test   every test preset, the Windows DLLs and their export tables,
#               and the real dialogs of the 64-bit DLL under wine
SHELL := /bin/bash
JOBS ?= $(shell nproc)

.PHONY: run test setup-run setup-test native asan linux32 win32 win64 test-native test-asan test-linux32 bench clean

setup-run:
	@scripts/setup.sh run

setup-test:
	@scripts/setup.sh test

native asan linux32 win32 win64:
	cmake --preset $@ >/dev/null
	cmake --build build/$@ -j $(JOBS)

test-native test-asan test-linux32: test-%: %
	ctest --preset $* -j $(JOBS)

# The link simulator's embedded default sweep; table on stdout, files in results/.
run: setup-run
	cmake --preset native >/dev/null
	cmake --build build/native -j $(JOBS) --target tpcsim
	./build/native/tpcsim

test: setup-test
	$(MAKE) test-native
	$(MAKE) test-asan
	$(MAKE) test-linux32
	$(MAKE) win32 win64
	scripts/wine_tests.sh build/win64
	scripts/check_exports.sh build/native/libtpc.so build/linux32/libtpc.so build/win32/tpc.dll build/win64/tpc.dll

bench: setup-run native
	./build/native/tpc_bench

clean:
	rm -rf build
