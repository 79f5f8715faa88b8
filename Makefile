# Entry points for people and CI. Each target installs what is missing first.
JOBS      ?= $(shell nproc)
CMAKE     ?= cmake
CTEST     ?= ctest
FUZZ_SECS ?= 20
BIN        = build/default/bin

.PHONY: all deps build demo test test-default test-asan test-fuzz test-win32 bench fuzz clean

all: build

deps:
	@scripts/install-deps

build: deps
	$(CMAKE) --preset default >/dev/null
	$(CMAKE) --build --preset default -j $(JOBS)

demo: build
	$(BIN)/typecask demo --out build/demo

test: deps test-default test-asan test-fuzz

test-default: build
	$(CTEST) --preset default -j $(JOBS)

test-asan: deps
	$(CMAKE) --preset asan >/dev/null
	$(CMAKE) --build --preset asan -j $(JOBS)
	$(CTEST) --preset asan -j $(JOBS)

# The Windows build (MinGW-w64, i686) and its tests under Wine. Where the kernel
# runs no 32-bit programs (Wine then cannot start a 32-bit Windows program),
# the same sources are built for x86-64 and that build's tests are run.
test-win32: deps
	$(CMAKE) --preset win32 >/dev/null
	$(CMAKE) --build --preset win32 -j $(JOBS)
	@if /usr/lib/wine/wine --version >/dev/null 2>&1; then scripts/wine-test win32 -j $(JOBS); \
	 else echo "test-win32: this kernel runs no 32-bit programs; testing the x86-64 build instead"; \
	  $(CMAKE) --preset win64 >/dev/null && $(CMAKE) --build --preset win64 -j $(JOBS) && \
	  scripts/wine-test win64 -j $(JOBS); fi

# A short smoke run of every fuzz target; skipped where clang is not available.
test-fuzz: deps
	@if command -v clang++ >/dev/null; then scripts/fuzz-run $(FUZZ_SECS); \
	 else echo "test-fuzz: clang++ not found, fuzz smoke run skipped"; fi

fuzz: deps
	scripts/fuzz-run $${SECONDS_PER_TARGET:-600}

bench: build
	$(BIN)/typecask-bench
	GLIBC_TUNABLES=glibc.malloc.mmap_threshold=131072 $(BIN)/typecask-road-bench

clean:
	rm -rf build
