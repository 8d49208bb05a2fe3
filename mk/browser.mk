# What a browser makes of the generated sites: headless Chromium opens the
# index and the table dump of several sites written by the real program
# (Shift_JIS and UTF-8 ones, the bundled examples, and a UTF-8 CSV file in a
# Shift_JIS site) and reports the encoding it used, the text of each link,
# where each link leads and whether that file loads
# (tests/browser/check_sites.py).
#
#   make check-browser
#
# `make check` runs check-browser after its own pass.

PKGS += python3 chromium

CHECK_EXTRA += check-browser

.PHONY: check-browser

check-browser:
	$(MAKE) configure
	cmake --build $(BUILD) --target quolix
	/usr/bin/python3 tests/browser/check_sites.py --quolix $(BUILD)/quolix
