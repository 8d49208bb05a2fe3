# One-line commands for the README. The build itself is CMake + Ninja.
BUILD ?= build
CMAKE_FLAGS ?=

# Debian packages the build, the tests and the window need.
PKGS := cmake ninja-build g++ make qt6-base-dev libgl-dev libgtest-dev libgmock-dev \
        fonts-ipafont-gothic qt6-translations-l10n libxcb1-dev libicu-dev \
        libzip-dev libexpat1-dev pkgconf zlib1g-dev

.DEFAULT_GOAL := build

# Fragments in mk/ add packages (PKGS +=), targets and further passes of
# `make check` (CHECK_EXTRA +=).
CHECK_EXTRA :=
-include mk/*.mk

.PHONY: all deps configure build test check demo screenshot unicode-tables clean

all: build

deps:
	@missing=""; \
	for p in $(PKGS); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  sudo=""; [ "$$(id -u)" = 0 ] || sudo=sudo; \
	  $$sudo apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

# The inner loop while working: build and run the unit and window tests,
# nothing installed and no further passes.
test:
	$(MAKE) build
	ctest --test-dir $(BUILD) --output-on-failure -j2

check: deps
	$(MAKE) build
	ctest --test-dir $(BUILD) --output-on-failure
	$(if $(strip $(CHECK_EXTRA)),$(MAKE) $(CHECK_EXTRA))

# The bundled examples, generated headless into out/books (Shift_JIS),
# out/shop-utf8 (UTF-8), out/shop-unicode (Excel's Unicode text: UTF-16,
# tabs), out/shop-book and out/shop-book-ods (the list as an Excel and a
# LibreOffice workbook).
demo: deps
	$(MAKE) configure
	cmake --build $(BUILD) --target quolix
	mkdir -p out/books out/shop-utf8 out/shop-unicode out/shop-book out/shop-book-ods
	$(BUILD)/quolix --batch examples/books/books.cfg
	$(BUILD)/quolix --batch examples/shop-utf8/shop.cfg
	$(BUILD)/quolix --batch examples/shop-unicode/shop.cfg
	$(BUILD)/quolix --batch examples/shop-book/shop.cfg
	$(BUILD)/quolix --batch examples/shop-book/shop-ods.cfg
	@echo "Pages written to $(CURDIR)/out/books, out/shop-utf8, out/shop-unicode, out/shop-book and out/shop-book-ods (open _index.html)"

# The window with the example loaded, rendered offscreen.
screenshot: deps
	$(MAKE) configure
	cmake --build $(BUILD) --target quolix_screenshot
	QT_QPA_PLATFORM=offscreen $(BUILD)/quolix_screenshot docs/screenshot.png examples/books/books.cfg
	@echo "docs/screenshot.png"

# The character tables a build without ICU uses, made again from ICU.
unicode-tables: configure
	cmake --build $(BUILD) --target quolix_unicode_tables
	$(BUILD)/quolix_unicode_tables > platform/UnicodeTables.inc

clean:
	rm -rf $(BUILD)
