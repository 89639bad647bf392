# Front door to the CMake build. `make build` puts the programs in build/bin/.
JOBS ?= $(shell nproc)

.PHONY: build check test test-plain test-sanitize demo bench clean

build:
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build -j $(JOBS)

# Everything CI runs: the suite as built and under the sanitizers, the suite under
# valgrind's memcheck, and every fuzz target for FUZZ_SECONDS (60) each.
check: test test-valgrind fuzz

# The whole suite, then the same suite built with AddressSanitizer and UBSan.
test: test-plain test-sanitize

test-plain: build
	cd build && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKIT_SANITIZE=ON >/dev/null
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

demo: build
	bash scripts/demo

bench: build
	bash bench/run_all

clean:
	rm -rf build build-asan

# The programs and their manual pages under PREFIX, below DESTDIR when it is given;
# `uninstall` removes what the last install wrote; `package` writes build/pic18kit_*.deb.
PREFIX ?= /usr/local
.PHONY: install uninstall package

install: build
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)"

uninstall:
	DESTDIR="$(DESTDIR)" cmake --build build --target uninstall

package: build
	cmake --build build --target package

.PHONY: fuzz test-valgrind

# Every libFuzzer target (clang, ASan, UBSan) for FUZZ_SECONDS each (default 60) on a
# copy of its seed corpus; any finding fails.
fuzz:
	bash scripts/fuzz

# The test programs and each tool under valgrind's memcheck; any report fails.
test-valgrind:
	bash scripts/valgrind-suite
