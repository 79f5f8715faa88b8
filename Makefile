# Entry points for people and CI. Each target installs what is missing first.
JOBS      ?= $(shell nproc)
CMAKE     ?= cmake
CTEST     ?= ctest
BIN        = build/default/bin

.PHONY: all deps deps-windows build configure demo test test-default test-package test-windows test-win64 test-win32 test-asan test-fuzz bench fuzz package \
        format clean

all: build

deps:
	@scripts/install-deps

# Everything, the Windows toolchains and Wine among it: the Linux build then
# makes its MinGW test programs too, so the Linux suite reads real Windows
# programs instead of skipping them.
deps-windows:
	@scripts/install-deps --windows

configure: deps
	$(CMAKE) --preset default >/dev/null

build: configure
	$(CMAKE) --build --preset default -j $(JOBS)

# Only the host and what it links: no tests, no benchmarks.
demo: configure
	$(CMAKE) --build --preset default -j $(JOBS) --target typecask
	$(BIN)/typecask demo --out build/demo

test: deps-windows test-default test-package test-asan test-fuzz test-windows

test-default: build
	$(CTEST) --preset default -j $(JOBS)

test-asan: deps
	$(CMAKE) --preset asan >/dev/null
	$(CMAKE) --build --preset asan -j $(JOBS)
	$(CTEST) --preset asan -j $(JOBS)

# The Debian package from a Release build of the libraries and tools (warnings
# are errors there too, so this is also the check that Release builds
# cleanly), then its contents, metadata, installation and lintian's verdict.
package: deps
	$(CMAKE) --preset package >/dev/null
	$(CMAKE) --build --preset package -j $(JOBS)
	cd build/package && cpack -G DEB

test-package: package
	tests/package/deb-check.sh build/package/typecasklib_*.deb

# The Windows builds and their tests under Wine, after the Linux build (the
# tests of form data across platforms use its programs): x86-64 (win64),
# then 32-bit (win32), the build for the original platform. Wine's 32-bit
# loader runs directly where the kernel runs 32-bit programs and through
# qemu-user where it does not; the win32 toolchain file tries which.
test-windows: test-win64 test-win32

test-win64 test-win32: test-%: build
	@scripts/install-deps --windows
	$(CMAKE) --preset $* >/dev/null
	$(CMAKE) --build --preset $* -j $(JOBS)
	scripts/wine-test $* -j $(JOBS)

# A short smoke run of every fuzz target: its seeds and a fixed number of
# inputs from a fixed random seed, the same on every machine, so that a test
# run never fails by chance and what it finds reproduces; skipped where clang
# is not available. `make fuzz` is the long, random search.
test-fuzz: deps
	@if command -v clang++ >/dev/null; then scripts/fuzz-run --smoke; \
	 else echo "test-fuzz: clang++ not found, fuzz smoke run skipped"; fi

fuzz: deps
	scripts/fuzz-run $${SECONDS_PER_TARGET:-600}

bench: build
	$(BIN)/typecask-bench
	GLIBC_TUNABLES=glibc.malloc.mmap_threshold=131072 $(BIN)/typecask-road-bench

# Formats the C++ sources with the committed .clang-format: every tracked
# file, or only those named in FILES ("make format FILES=platform/Forms.cpp").
FILES ?= $(shell git ls-files '*.cpp' '*.h')
format:
	@command -v clang-format >/dev/null || { echo "format: clang-format not found (apt-get install clang-format)"; exit 1; }
	clang-format -i $(FILES)

clean:
	rm -rf build
