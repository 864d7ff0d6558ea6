# Two commands on a fresh machine:
#   make run    builds korvex (the program alone) and runs it on the bundled example in examples/
#   make test   builds korvex and every test, and runs the tests
#   make test-cluster (as root) runs divided runs on a real one-node SLURM cluster it starts
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize

.PHONY: all configure build run test test-cluster sanitize bench clean check-build-tools check-test-tools check-workflow-tools

all: build

# Missing Debian packages are installed when running as root; otherwise the command to
# install them is printed.
BUILD_PACKAGES = cmake g++ make pkg-config libhts-dev
TEST_PACKAGES = $(BUILD_PACKAGES) libgtest-dev samtools

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

# The workflow's test is skipped without snakemake; as root it is installed.
check-workflow-tools:
	@command -v snakemake >/dev/null || { \
	  if [ "$$(id -u)" -eq 0 ]; then \
	    DEBIAN_FRONTEND=noninteractive apt-get install -y -q snakemake >/dev/null || \
	      { apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -q snakemake >/dev/null; }; \
	  else echo "snakemake is missing, its test is skipped: apt-get install -y snakemake"; fi; }

test: check-test-tools check-workflow-tools build
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j 2

# Starts munged, slurmctld and slurmd of its own (installing slurm-wlm and munge when missing),
# runs the SLURM scripts and the Snakemake profile on the example, and stops them again.
test-cluster: configure
	cmake --build $(BUILD) -j 2 --target korvex
	scripts/test-cluster.sh $(BUILD)/korvex

sanitize: check-test-tools
	cmake -S . -B $(SANITIZE_BUILD) -DKORVEX_SANITIZE=ON >/dev/null
	cmake --build $(SANITIZE_BUILD) -j 2
	cd $(SANITIZE_BUILD) && ctest --output-on-failure --no-tests=error -j 2

bench: check-build-tools
	@scripts/ensure-packages.sh libbenchmark-dev samtools
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j 2
	@ls $(BUILD)/bench_* >/dev/null 2>&1 && for b in $(BUILD)/bench_*; do $$b; done

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
