# Installing and packaging, and the checks of what a new user meets first.
#
#   make install [PREFIX=/usr/local] [DESTDIR=]   program, desktop entry, icons, manual, example
#   make deb             $(BUILD)/quolix_<version>_<arch>.deb by CPack (dependencies by dpkg-shlibdeps)
#   make lint            make deb, then lintian on the package (installs lintian when missing)
#   make screenshots     $(SHOT_DIR)/screenshot.png, screenshot-2x.png (QT_SCALE_FACTOR=2), both
#                        after a run of the example; the question box and the file dialog
#   make smoke-x11       the window on Xvfb: title, a settings file on the command line, screenshot
#   make check-package   desktop entry, manual page, icons, the installed tree
#   make check-readme    every command in the README's shell blocks
#
# `make check` runs check-package, check-readme and smoke-x11 after its own pass.

PKGS += python3 file dpkg-dev man-db desktop-file-utils \
        xvfb xauth x11-utils xdotool imagemagick

PREFIX ?= /usr/local
DESTDIR ?=
SHOT_DIR ?= docs
SHOT_CFG := examples/books/books.cfg

CHECK_EXTRA += check-package check-readme smoke-x11

# What `make install` puts under PREFIX.
INSTALLED_FILES := bin/quolix libexec/quolix/quolix-window.so share/applications/quolix.desktop \
  $(foreach s,16 32 48 64 128,share/icons/hicolor/$(s)x$(s)/apps/quolix.png) \
  share/man/man1/quolix.1.gz share/doc/quolix/copyright share/doc/quolix/changelog.gz \
  $(addprefix share/doc/quolix/examples/books/,books.csv book.html books.cfg)

SUDO = $$([ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: install deb lint screenshots smoke-x11 check-package check-readme package-files

# The program and the files installed with it, built in $(BUILD).
package-files:
	$(MAKE) configure
	cmake --build $(BUILD) --target quolix quolix_share

install: package-files
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

deb: deps package-files
	rm -f $(BUILD)/quolix_*.deb
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/quolix_*.deb

lint: deb
	@command -v lintian >/dev/null || { \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends lintian; }
	lintian --fail-on error --display-info $(BUILD)/quolix_*.deb

screenshots: deps
	$(MAKE) configure
	cmake --build $(BUILD) --target quolix_screenshot
	mkdir -p $(SHOT_DIR)
	QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1 \
	  $(BUILD)/quolix_screenshot --generated $(SHOT_DIR)/screenshot.png $(SHOT_CFG)
	QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 \
	  $(BUILD)/quolix_screenshot --generated $(SHOT_DIR)/screenshot-2x.png $(SHOT_CFG)
	QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1 \
	  $(BUILD)/quolix_screenshot --question $(SHOT_DIR)/screenshot-question.png $(SHOT_CFG)
	QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1 \
	  $(BUILD)/quolix_screenshot --file-dialog $(SHOT_DIR)/screenshot-file-dialog.png $(SHOT_CFG)
	@python3 -c 'import struct, sys; \
	size = lambda p: struct.unpack(">II", open(p, "rb").read()[16:24]); \
	a, b = size(sys.argv[1]), size(sys.argv[2]); \
	print("%s %dx%d, %s %dx%d" % (sys.argv[1], *a, sys.argv[2], *b)); \
	sys.exit(0 if b == (2 * a[0], 2 * a[1]) else "the 2x screenshot is not twice the size")' \
	  $(SHOT_DIR)/screenshot.png $(SHOT_DIR)/screenshot-2x.png

smoke-x11:
	$(MAKE) configure
	cmake --build $(BUILD) --target quolix
	tests/x11_smoke.sh $(BUILD)

check-package: package-files
	desktop-file-validate res/quolix.desktop
	@out=$$(MANWIDTH=80 man --warnings -l res/quolix.1 2>&1 >/dev/null); \
	if [ -n "$$out" ]; then echo "$$out"; echo "res/quolix.1: man reports warnings"; exit 1; fi; \
	echo "res/quolix.1: man --warnings: clean"
	python3 tools/make_icons.py --check window
	@tmp=$$(mktemp -d) && trap 'rm -rf "$$tmp"' EXIT && \
	cmake --install $(BUILD) --prefix "$$tmp" >/dev/null && \
	missing=0 && for f in $(INSTALLED_FILES); do \
	  [ -f "$$tmp/$$f" ] || { echo "not installed: $$f"; missing=1; }; done && \
	[ $$missing = 0 ] && \
	extra=$$(cd "$$tmp" && find . -type f | sed 's|^\./||' | sort | \
	  grep -vxF "$$(printf '%s\n' $(INSTALLED_FILES))" || true) && \
	{ [ -z "$$extra" ] || { echo "installed but not listed: $$extra"; exit 1; }; } && \
	desktop-file-validate "$$tmp/share/applications/quolix.desktop" && \
	"$$tmp/bin/quolix" --version >/dev/null && \
	{ QT_QPA_PLATFORM=offscreen timeout 5 "$$tmp/bin/quolix" 2>"$$tmp/window.err"; status=$$?; \
	  [ $$status = 124 ] || { cat "$$tmp/window.err"; echo "the installed window did not open (exit $$status)"; exit 1; }; } && \
	echo "install tree: $(words $(INSTALLED_FILES)) files, as listed"

check-readme: package-files
	tests/readme_commands.sh $(BUILD)
