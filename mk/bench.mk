# Timings (not part of `make check`): the batch mode against the file-system
# floor and a hand-written Python script, on /dev/shm and on the disk, reruns
# over an existing site (nothing changed; one record in a hundred changed),
# then the micro benchmarks of the CSV load, the same table's load from an
# .xlsx and an .ods workbook (time, and peak memory in a process of its
# own), the expansion and the window.
#
#   make bench                       N = 1000 8000 32000, 3 runs each
#   make bench BENCH_N=32000 BENCH_RUNS=5
#   make bench BENCH_WIDE=0          without the 500-column table
#   make bench BENCH_RERUN=0         without the reruns
#   make bench BENCH_MICRO=0         without the Google Benchmark programs
#   make bench-syscalls              only the system calls of an unchanged
#                                    page on a rerun (at most four)
#
# Results are printed and written to $(BENCH_BUILD)/bench-results.md;
# docs/performance.md explains them.

BENCH_BUILD ?= build-bench
BENCH_N ?= 1000 8000 32000
BENCH_RUNS ?= 3
BENCH_WIDE ?= 2000x500
BENCH_MICRO ?= 1
BENCH_RERUN ?= 1
BENCH_SHM ?= /dev/shm
BENCH_DISK ?= $(BENCH_BUILD)/bench-runs
BENCH_PYTHON ?= /usr/bin/python3
BENCH_TARGETS := quolix quolix_floor quolix_core_bench quolix_window_bench

.PHONY: bench bench-deps bench-build bench-syscalls

# The packages only the timings need; `make deps` alone does not install them.
bench-deps: PKGS += time python3 libbenchmark-dev strace
bench-deps: deps

bench-build: bench-deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUOLIX_BUILD_TESTS=OFF
	cmake --build $(BENCH_BUILD) --target $(BENCH_TARGETS)

bench: bench-build
	$(BENCH_PYTHON) bench/run.py --build $(BENCH_BUILD) --sizes "$(BENCH_N)" --runs $(BENCH_RUNS) \
	  --wide "$(BENCH_WIDE)" --shm $(BENCH_SHM) --disk $(BENCH_DISK) \
	  $(if $(filter 0,$(BENCH_MICRO)),--no-micro) $(if $(filter 0,$(BENCH_RERUN)),--no-rerun) \
	  --markdown $(BENCH_BUILD)/bench-results.md
	bench/syscalls.sh $(BENCH_BUILD)

bench-syscalls: bench-build
	bench/syscalls.sh $(BENCH_BUILD)
