# Entry points for people and CI. Each target installs what is missing first.
JOBS      ?= $(shell nproc)
CMAKE     ?= cmake
CTEST     ?= ctest
FUZZ_SECS ?= 150
BIN        = build/default/bin

.PHONY: all deps build demo test test-default test-asan test-fuzz bench fuzz clean

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

# A short smoke run of every fuzz target, FUZZ_SECS seconds in all (shared
# out among the targets, which keeps it under three minutes however many
# there are); skipped where clang is not available.
test-fuzz: deps
	@if command -v clang++ >/dev/null; then scripts/fuzz-run --total $(FUZZ_SECS); \
	 else echo "test-fuzz: clang++ not found, fuzz smoke run skipped"; fi

fuzz: deps
	scripts/fuzz-run $${SECONDS_PER_TARGET:-600}

bench: build
	$(BIN)/typecask-bench
	GLIBC_TUNABLES=glibc.malloc.mmap_threshold=131072 $(BIN)/typecask-road-bench

clean:
	rm -rf build
