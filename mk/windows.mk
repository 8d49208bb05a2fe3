# The command-line program for Windows, cross-built with Debian's mingw-w64
# and tested under wine.
#
#   make windows         build-windows/quolix.exe (static, no window)
#   make check-windows   its core tests and Windows rules under wine, its
#                        code page 932 table and the examples' pages against
#                        the Linux build's, and the zip's examples
#                        (tests/windows.sh)
#   make windows-zip     build-windows/quolix-VERSION-windows-x64.zip
#
# `make check` runs check-windows after its own pass.

WINDOWS_BUILD ?= build-windows
PKGS += g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 googletest
CHECK_EXTRA += check-windows
# A wine of its own in the build folder; no prompts for .NET or a browser.
WINE_ENV = WINEPREFIX=$(abspath $(WINDOWS_BUILD))/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

.PHONY: windows check-windows windows-zip

$(WINDOWS_BUILD)/build.ninja:
	cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release

windows: $(WINDOWS_BUILD)/build.ninja
	cmake --build $(WINDOWS_BUILD) --target quolix

check-windows: $(WINDOWS_BUILD)/build.ninja
	cmake --build $(WINDOWS_BUILD) --target quolix quolix_core_tests quolix_cp932_table quolix_zip
	$(MAKE) configure
	cmake --build $(BUILD) --target quolix quolix_cp932_table
	cd $(WINDOWS_BUILD) && $(WINE_ENV) wine ./quolix_core_tests.exe --gtest_brief=1
	$(WINE_ENV) tests/windows.sh $(WINDOWS_BUILD) $(BUILD)

windows-zip: windows
	cmake --build $(WINDOWS_BUILD) --target quolix_zip
