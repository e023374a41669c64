# The two entry points for a fresh Debian 12 machine: `make demo`, `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build demo test asan bench clean

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

bench: build
	bash scripts/run-bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-asan
