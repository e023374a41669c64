# The two entry points for a fresh Debian 12 machine: `make demo`, `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build demo test asan fuzz bench clean

deps:
	bash scripts/setup-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	ninja -C $(BUILD) -j$(JOBS)

# Runs the demo game; without a display it runs headless.
demo: build
	bash scripts/run-demo.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The tests again under AddressSanitizer and UBSan.
asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF
	ninja -C build-asan -j$(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j$(JOBS)

# Each image decoder fuzzed for a short while from the fixed seed corpus.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVELMORA_SANITIZE=ON -DVELMORA_FUZZ=ON -DVELMORA_BENCH=OFF
	ninja -C build-fuzz -j$(JOBS) fuzz_image_png fuzz_image_jpeg fuzz_image_bmp fuzz_image_tlg
	cd build-fuzz && ctest --output-on-failure -R '^fuzz_image_'

bench: build
	bash scripts/run-bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-asan build-fuzz
