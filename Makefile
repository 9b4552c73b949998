# The commands of the README: `make run`, `make test` and `make package`. Each installs the
# Debian packages it needs first; `make deps` installs all of them and builds nothing.
BUILD_DIR ?= build
WINDOWS_BUILD_DIR ?= build-windows
GENERATOR ?= Ninja
# What building and running need: the window is Qt 6 Widgets, its images SVG, its font
# a sans serif that fits the sizes of its controls, and its standard dialogs German through
# Qt's translations.
RUN_PACKAGES := cmake ninja-build g++ make libgtest-dev tzdata qt6-base-dev qt6-svg-dev \
	fonts-liberation2 qt6-translations-l10n
# What the tests of the installed files and the packages need besides: Debian's own tools for
# manual pages, desktop entries, metainfo, packages and systemd units.
CHECK_PACKAGES := man-db groff-base desktop-file-utils appstream dpkg-dev file lintian systemd
# What `make check` needs besides: clang for the fuzz targets, its runtime, clang-tidy and
# clang-format, and for clang-tidy over the Windows code the mingw-w64 headers and C++ library it
# reads that code with and the tools the Windows build's configuration asks for.
HABIT_PACKAGES := clang-14 libclang-rt-14-dev clang-tidy-14 clang-format-14 \
	g++-mingw-w64-x86-64-posix librsvg2-bin icoutils
# What the Windows build needs besides: the mingw-w64 compilers whose runtime has std::thread,
# Wine to run its tests (Debian's 64-bit Wine; no 32-bit packages are needed), GoogleTest's
# sources, built there with the tests, the locale sources Wine's German test locale is made of, the
# tools that draw the window's icons from their SVG, and those that make the Windows Installer
# package.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wine wine64 googletest locales librsvg2-bin icoutils \
	wixl msitools
PACKAGES := $(RUN_PACKAGES) $(CHECK_PACKAGES) $(HABIT_PACKAGES) $(WINDOWS_PACKAGES)

.PHONY: all deps run-deps configure build test check run package bench screenshot \
	screenshot-windows clean windows \
	windows-test windows-package

all: build

deps:
	@scripts/install-packages $(PACKAGES)

run-deps:
	@scripts/install-packages $(RUN_PACKAGES)

# Configuring needs no more than running does; the tests' tools are installed before they run.
configure: run-deps
	cmake -S . -B $(BUILD_DIR) -G $(GENERATOR)

build: configure
	cmake --build $(BUILD_DIR)

# The Linux tests, then the Windows build's tests under Wine where the cross compiler and Wine are
# installed: the packages for them are installed here, so only an installation that failed skips
# them.
test: build
	@scripts/install-packages $(CHECK_PACKAGES) $(WINDOWS_PACKAGES)
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 300 -j 2
	@if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null; then \
		$(MAKE) --no-print-directory windows-test; \
	else \
		echo "No mingw-w64 compiler or no Wine: the Windows tests are left out."; \
	fi

# The program for 64-bit Windows with its native Win32 window, cross-built with mingw-w64 into
# $(WINDOWS_BUILD_DIR)/: ablagekehrer.exe and its console companion ablagekehrer.com, stripped.
# Only the program: the tests are built by windows-test, which runs them under Wine.
# WINDOWS_WERROR=ON treats warnings in our own code as errors; unset, the folder keeps its setting.
windows:
	@scripts/install-packages cmake ninja-build $(WINDOWS_PACKAGES)
	cmake -S . -B $(WINDOWS_BUILD_DIR) -G $(GENERATOR) -DABLAGEKEHRER_GUI=ON \
		-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		$(if $(WINDOWS_WERROR),-DABLAGEKEHRER_WERROR=$(WINDOWS_WERROR))
	cmake --build $(WINDOWS_BUILD_DIR) --target ablagekehrer ablagekehrer_com

# $(WINDOWS_BUILD_DIR)/ablagekehrer-<version>-x64.msi, the installer for 64-bit Windows, and
# ablagekehrer-<version>-x64.zip, the same files without it.
windows-package: windows
	cmake --build $(WINDOWS_BUILD_DIR) --target ablagekehrer_package

# The Windows leg of CI: built with warnings as errors, as the Linux builds of `make check` are,
# so that the Win32 code meets the same warnings; a user's `make windows` alone does not stop on
# the new warnings of another compiler.
windows-test:
	@$(MAKE) --no-print-directory windows WINDOWS_WERROR=ON
	cmake --build $(WINDOWS_BUILD_DIR)
	cd $(WINDOWS_BUILD_DIR) && ctest --output-on-failure --timeout 300 -j 2

# The habits CI checks besides the tests: formatting, warnings as errors with every test under the
# sanitizers, clang-tidy, and the fuzz targets for a minute each (FUZZ_SECONDS).
FUZZ_SECONDS ?= 60
check: build
	@scripts/install-packages $(HABIT_PACKAGES)
	scripts/check $(BUILD_DIR) $(FUZZ_SECONDS)

# Only the program: the tests and benchmarks are left for `make test`.
run: configure
	cmake --build $(BUILD_DIR) --target ablagekehrer
	scripts/make-demo $(BUILD_DIR)
	$(BUILD_DIR)/ablagekehrer

# build/ablagekehrer_<version>_<arch>.deb, and ablagekehrer-cli, the program without the window.
package: configure
	@scripts/install-packages dpkg-dev file
	cmake --build $(BUILD_DIR) --target ablagekehrer ablage_dist
	scripts/make-packages $(BUILD_DIR)

bench: build
	bench/run $(BUILD_DIR)

# docs/screenshot.png: the window on the demo folder, on a virtual display.
screenshot: build
	scripts/screenshot $(BUILD_DIR)

# docs/screenshot-windows.png: the Windows program's window on the demo folder, under Wine on a
# virtual display.
screenshot-windows: windows
	scripts/screenshot-windows $(WINDOWS_BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
