# Reliability passes: the whole test suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the libFuzzer targets in fuzz/.
#
#   make check-sanitize   build-asan: every test, the window tests included
#   make fuzz             each fuzz target for FUZZ_SECONDS (default 60)
#   make fuzz-smoke       each fuzz target for 10 s
#
# `make check` runs check-sanitize and fuzz-smoke after its own pass.

PKGS += clang libclang-rt-14-dev

ASAN_BUILD ?= build-asan
# Unoptimised: on two cores the -O2 build takes about twice as long as the
# Debug one, far more than the tests gain from it.
ASAN_TYPE ?= Debug
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 10
FUZZ_TARGETS := fuzz_csv_load fuzz_expand fuzz_dump_page fuzz_settings_lines fuzz_prescan fuzz_workbook \
                fuzz_book_readers
CTEST_JOBS ?= 2

# Reports go to files under the build folder instead of stderr, so that one
# from a child process (the batch tests run the real program) cannot go
# unseen: any file there fails the pass and is printed.
SAN_REPORTS = $(CURDIR)/$(ASAN_BUILD)/sanitizer-reports
SAN_ENV = ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:strict_string_checks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:log_path=$(SAN_REPORTS)/asan \
          UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:log_path=$(SAN_REPORTS)/ubsan

CHECK_EXTRA += check-sanitize fuzz-smoke

.PHONY: check-sanitize fuzz fuzz-build fuzz-smoke

check-sanitize:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DQUOLIX_SANITIZE=ON -DCMAKE_BUILD_TYPE=$(ASAN_TYPE)
	rm -rf $(SAN_REPORTS) && mkdir -p $(SAN_REPORTS)
	$(SAN_ENV) cmake --build $(ASAN_BUILD) --target quolix_core_tests quolix_cli_tests quolix_window_tests
	$(SAN_ENV) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(CTEST_JOBS); \
	status=$$?; \
	if [ -n "$$(ls -A $(SAN_REPORTS))" ]; then \
	  echo "sanitizer reports:"; cat $(SAN_REPORTS)/*; status=1; \
	fi; \
	exit $$status

fuzz-build:
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
	  -DQUOLIX_BUILD_APP=OFF -DQUOLIX_BUILD_TESTS=OFF -DQUOLIX_BUILD_FUZZ=ON
	cmake --build $(FUZZ_BUILD) --target $(FUZZ_TARGETS)

# One target for $(1) seconds. New inputs go to the build folder's corpus
# (the first folder given), crash inputs to its artifacts folder; the seeds
# in fuzz/corpus are only read. A failure prints the whole log; the input is
# replayed with `$(FUZZ_BUILD)/fuzz/<target> <artifact file>`.
define run-fuzz-target
	mkdir -p $(FUZZ_BUILD)/corpus/$(2) $(FUZZ_BUILD)/artifacts/$(2)
	@echo "fuzzing $(2) for $(1) s"
	@UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	$(FUZZ_BUILD)/fuzz/$(2) $(FUZZ_BUILD)/corpus/$(2) fuzz/corpus/$(2) \
	  -max_total_time=$(1) -timeout=10 -max_len=$(or $(FUZZ_MAX_LEN_$(2)),4096) \
	  -rss_limit_mb=2048 -artifact_prefix=$(CURDIR)/$(FUZZ_BUILD)/artifacts/$(2)/ \
	  -print_final_stats=1 >$(FUZZ_BUILD)/$(2).log 2>&1; \
	status=$$?; \
	if [ $$status -ne 0 ]; then cat $(FUZZ_BUILD)/$(2).log; exit $$status; fi; \
	grep -E '^(Done |stat::number_of_executed_units|stat::peak_rss_mb)' $(FUZZ_BUILD)/$(2).log

endef

# Data files can be longer than settings lines and templates.
FUZZ_MAX_LEN_fuzz_csv_load := 16384
FUZZ_MAX_LEN_fuzz_dump_page := 16384
FUZZ_MAX_LEN_fuzz_workbook := 16384

fuzz: fuzz-build
	$(foreach t,$(FUZZ_TARGETS),$(call run-fuzz-target,$(FUZZ_SECONDS),$(t)))

fuzz-smoke: fuzz-build
	$(foreach t,$(FUZZ_TARGETS),$(call run-fuzz-target,$(FUZZ_SMOKE_SECONDS),$(t)))
