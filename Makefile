# Two commands on a fresh machine:
#   make run    builds korvex (the program alone) and runs it on the bundled example in examples/
#   make test   builds korvex and every test, and runs the tests
#   make test-cluster (as root) runs divided runs on a real one-node SLURM cluster it starts
#   make install [PREFIX=/usr/local] [DESTDIR=]   installs korvex, its manual page, workflow and example
#   make deb    builds the Debian package korvex_VERSION_ARCH.deb in $(BUILD)
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
FUZZ_SECONDS ?= 60
# Extra ctest options for make test and make sanitize (.ci/run asks for a JUnit report).
CTEST_FLAGS ?=
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all configure build run test test-cluster install uninstall deb sanitize fuzz tsan bench clean check-build-tools check-test-tools check-clang

all: build

# Missing Debian packages are installed when running as root; otherwise the command to
# install them is printed.
BUILD_PACKAGES = cmake g++ make pkg-config libhts-dev libdeflate-dev
# dpkg-dev and file: the package's dependencies (dpkg-shlibdeps); groff-base: the manual page's check.
PACKAGE_PACKAGES = dpkg-dev file
TEST_PACKAGES = $(BUILD_PACKAGES) libgtest-dev samtools bowtie bowtie2 bwa hisat2 minimap2 snakemake multiqc $(PACKAGE_PACKAGES) groff-base

check-build-tools:
	@scripts/ensure-packages.sh $(BUILD_PACKAGES)

check-test-tools:
	@scripts/ensure-packages.sh $(TEST_PACKAGES)

configure: check-build-tools
	cmake -S . -B $(BUILD) >/dev/null

build: configure
	cmake --build $(BUILD) -j 2

# The program alone: the tests and benchmarks are not needed to run the example.
run: configure
	cmake --build $(BUILD) -j 2 --target korvex
	cd examples && $(abspath $(BUILD))/korvex example.cfg

test: check-test-tools build
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j 2 $(CTEST_FLAGS)

# Starts munged, slurmctld and slurmd of its own, runs the SLURM scripts and the Snakemake
# profile on the example, and stops them again.
test-cluster: configure
	@scripts/ensure-packages.sh slurm-wlm munge snakemake
	cmake --build $(BUILD) -j 2 --target korvex
	scripts/test-cluster.sh $(BUILD)/korvex

# The program and its manual page, then what the install rules of cmake/Install.cmake place. A
# build already configured is not configured again (by sudo make install, as root).
install:
	@[ -f $(BUILD)/CMakeCache.txt ] || $(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j 2 --target korvex manpage
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	rm -f "$(DESTDIR)$(PREFIX)/bin/korvex" "$(DESTDIR)$(PREFIX)/share/man/man1/korvex.1"
	rm -rf "$(DESTDIR)$(PREFIX)/share/korvex" "$(DESTDIR)$(PREFIX)/share/doc/korvex"

deb: configure
	@scripts/ensure-packages.sh $(PACKAGE_PACKAGES)
	cmake --build $(BUILD) -j 2 --target korvex manpage
	cd $(BUILD) && cpack -G DEB

sanitize: check-test-tools
	cmake -S . -B $(SANITIZE_BUILD) -DKORVEX_SANITIZE=ON >/dev/null
	cmake --build $(SANITIZE_BUILD) -j 2
	cd $(SANITIZE_BUILD) && ctest --output-on-failure --no-tests=error -j 2 $(CTEST_FLAGS)

check-clang: check-build-tools
	@scripts/ensure-packages.sh clang libclang-rt-dev libomp-dev

# The fuzz targets of fuzz/, built with clang, each run for FUZZ_SECONDS; fails on any finding.
fuzz: check-clang
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DKORVEX_FUZZ=ON >/dev/null
	cmake --build $(FUZZ_BUILD) -j 2 --target fuzz_config fuzz_step1 fuzz_scorer fuzz_containers fuzz_tagged fuzz_parts
	scripts/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Whole runs, and the unit tests whose threads share the sampler's tables and the reader's
# blocks, under ThreadSanitizer with the LLVM OpenMP runtime; fails on any report.
tsan: check-clang
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DKORVEX_TSAN=ON >/dev/null
	cmake --build $(TSAN_BUILD) -j 2 --target korvex test_sampler test_reader
	scripts/run-tsan.sh $(TSAN_BUILD)/korvex $(TSAN_BUILD)/test_sampler $(TSAN_BUILD)/test_reader

bench: check-build-tools
	@scripts/ensure-packages.sh libbenchmark-dev samtools
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j 2
	@ls $(BUILD)/bench_* >/dev/null 2>&1 && for b in $(BUILD)/bench_*; do $$b; done

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD)
