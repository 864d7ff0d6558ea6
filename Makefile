# Two commands on a fresh machine:
#   make run    builds korvex (the program alone) and runs it on the bundled example in examples/
#   make test   builds korvex and every test, and runs the tests
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize

.PHONY: all configure build run test sanitize bench clean check-build-tools check-test-tools

all: build

check-build-tools:
	@command -v cmake >/dev/null || { echo "cmake is missing: apt-get install -y cmake"; exit 1; }
	@command -v g++ >/dev/null || { echo "g++ is missing: apt-get install -y g++"; exit 1; }
	@command -v make >/dev/null || { echo "make is missing: apt-get install -y make"; exit 1; }

check-test-tools: check-build-tools
	@test -f /usr/include/gtest/gtest.h || { echo "GoogleTest is missing: apt-get install -y libgtest-dev"; exit 1; }

configure: check-build-tools
	cmake -S . -B $(BUILD) >/dev/null

build: configure
	cmake --build $(BUILD) -j 2

# The program alone: the tests and benchmarks are not needed to run the example.
run: configure
	cmake --build $(BUILD) -j 2 --target korvex
	cd examples && $(abspath $(BUILD))/korvex example.cfg

test: check-test-tools build
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j 2

sanitize: check-test-tools
	cmake -S . -B $(SANITIZE_BUILD) -DKORVEX_SANITIZE=ON >/dev/null
	cmake --build $(SANITIZE_BUILD) -j 2
	cd $(SANITIZE_BUILD) && ctest --output-on-failure --no-tests=error -j 2

bench: build
	@test -f /usr/include/benchmark/benchmark.h || { echo "Google Benchmark is missing: apt-get install -y libbenchmark-dev"; exit 1; }
	@ls $(BUILD)/bench_* >/dev/null 2>&1 && for b in $(BUILD)/bench_*; do $$b; done

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
