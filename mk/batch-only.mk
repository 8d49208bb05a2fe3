# The program built without the window (QUOLIX_BUILD_APP=OFF), as the
# Windows build will be: it says it has none, and writes every bundled
# example's pages as the full build does (tests/batch_only.sh).
#
#   make check-batch-only
#
# `make check` runs check-batch-only after its own pass.

BATCH_ONLY_BUILD ?= build-batch-only

CHECK_EXTRA += check-batch-only

.PHONY: check-batch-only

check-batch-only:
	cmake -S . -B $(BATCH_ONLY_BUILD) -G Ninja -DQUOLIX_BUILD_APP=OFF -DQUOLIX_BUILD_TESTS=OFF
	cmake --build $(BATCH_ONLY_BUILD) --target quolix
	$(MAKE) configure
	cmake --build $(BUILD) --target quolix
	tests/batch_only.sh $(BATCH_ONLY_BUILD)/quolix $(BUILD)/quolix
