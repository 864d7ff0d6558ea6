# Two commands on a fresh machine:
#   make run    builds korvex (the program alone) and runs it on the bundled example in examples/
#   make test   builds korvex and every test, and runs the tests
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
FUZZ_SECONDS ?= 60

.PHONY: all configure build run test sanitize fuzz tsan bench clean check-build-tools check-test-tools check-clang

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

check-clang: check-build-tools
	@command -v clang++ >/dev/null || { echo "clang is missing: apt-get install -y clang libclang-rt-dev"; exit 1; }

# The fuzz targets of fuzz/, built with clang, each run for FUZZ_SECONDS; fails on any finding.
fuzz: check-clang
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DKORVEX_FUZZ=ON >/dev/null
	cmake --build $(FUZZ_BUILD) -j 2 --target fuzz_config fuzz_step1 fuzz_scorer
	scripts/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# A whole run under ThreadSanitizer with the LLVM OpenMP runtime; fails on any report.
tsan: check-clang
	@ls /usr/lib/llvm-*/lib/libarcher.so >/dev/null 2>&1 || { echo "libomp-dev is missing: apt-get install -y libomp-dev"; exit 1; }
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DKORVEX_TSAN=ON >/dev/null
	cmake --build $(TSAN_BUILD) -j 2 --target korvex
	scripts/run-tsan.sh $(TSAN_BUILD)/korvex

bench: build
	@test -f /usr/include/benchmark/benchmark.h || { echo "Google Benchmark is missing: apt-get install -y libbenchmark-dev"; exit 1; }
	@ls $(BUILD)/bench_* >/dev/null 2>&1 && for b in $(BUILD)/bench_*; do $$b; done

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD)
