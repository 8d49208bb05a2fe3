# make memcheck: a batch run over a generated 32000-record table under
# valgrind memcheck (tests/memcheck.sh). Run on demand, not by `make check`:
# it takes several minutes. valgrind is installed here when missing.

.PHONY: memcheck

memcheck: deps
	@command -v valgrind >/dev/null 2>&1 || { \
	  sudo=""; [ "$$(id -u)" = 0 ] || sudo=sudo; \
	  $$sudo apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq --no-install-recommends valgrind; }
	$(MAKE) configure
	cmake --build $(BUILD) --target quolix
	QUOLIX=$(BUILD)/quolix sh tests/memcheck.sh
