# The two entry points for a fresh Debian 12 machine: `make demo`, `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build san-configure demo test test-plain asan fuzz fuzz-long soak bench bench-table clean web test-web

deps:
	bash scripts/setup-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	ninja -C $(BUILD) -j$(JOBS)

# Runs the demo game; without a display it runs headless.
demo: build
	bash scripts/run-demo.sh $(BUILD)

# The README's test command, also what CI runs: the whole suite under the
# sanitizers (see asan below). test-plain runs it in the plain build.
test: asan

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# One clang build with AddressSanitizer and UBSan serves the tests and the
# fuzz targets (which also need clang's libFuzzer).
SAN_BUILD ?= build-asan
san-configure: deps
	CC=clang CXX=clang++ cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVELMORA_SANITIZE=ON -DVELMORA_FUZZ=ON -DVELMORA_BENCH=OFF

# The whole test suite under AddressSanitizer and UBSan, with a short run of
# every fuzz target (leak detection is off only for the GPU suites).
asan: san-configure
	ninja -C $(SAN_BUILD) -j$(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j$(JOBS)

# Only the short fuzz runs (label "fuzz"), each a fixed number of inputs.
fuzz: san-configure
	ninja -C $(SAN_BUILD) -j$(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j$(JOBS) -L fuzz

# Every fuzz target for FUZZ_SECONDS (default 300) each, keeping what it finds.
fuzz-long: san-configure
	ninja -C $(SAN_BUILD) -j$(JOBS)
	bash scripts/fuzz-long.sh $(SAN_BUILD) $(or $(FUZZ_SECONDS),300)

# The demo for SOAK_MINUTES (default 10) of virtual time under random input.
soak: build
	python3 tests/soak/soak.py $(BUILD) --minutes $(or $(SOAK_MINUTES),10)

# The engine for the browser: Debian's emscripten and the libraries built
# from Debian's sources into ~/.cache/velmora-web (once per version), then
# the web presets into build-web/ (threads) and build-web-single/ (none).
# test-web runs the browser test (label web).
web:
	bash scripts/setup-web.sh
	cmake --preset web
	cmake --build --preset web
	cmake --preset web-single
	cmake --build --preset web-single

test-web: web build
	cmake $(BUILD)
	cd $(BUILD) && ctest --output-on-failure -L web

bench: build
	bash scripts/run-bench.sh $(BUILD)

# Every benchmark with a speed target, as one table with pass/fail.
bench-table: build
	python3 bench/table.py $(BUILD)

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
