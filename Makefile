# The two commands of README: `make run` and `make test`. Both install what is
# missing, then configure and build the release preset.

PRESET ?= release
BUILD := build/$(PRESET)

.PHONY: all deps build run test bench install package screenshot clean windows windows-deps web web-deps

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

run: build
	@if [ -x $(BUILD)/app/zintrel ]; then $(BUILD)/app/zintrel; \
	else echo "zintrel: the application is not built yet"; fi

# The cross-compilers, Wine, wixl and msitools, and Highway and GoogleTest
# built for Windows (in build/windows-deps); nothing when they are there.
windows-deps:
	@scripts/install-deps --windows

# The 64-bit Windows build, cross-compiled in build/windows, with the zip,
# the Windows Installer package and its winget manifests.
windows: deps windows-deps
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows

# Emscripten, Node.js, Chromium, and Highway and GoogleTest built for
# WebAssembly (in build/web-deps); nothing when they are there.
web-deps:
	@scripts/install-deps --web

# The web page, built with emscripten into build/web, with its threaded
# variant (built in build/web-threads) beside it in build/web/page.
web: deps web-deps
	@NODE_PATH=/usr/share/nodejs cmake --preset web >/dev/null
	@cmake --build --preset web
	@NODE_PATH=/usr/share/nodejs cmake --preset web-threads >/dev/null
	@cmake --build --preset web-threads

# Debian's aarch64 cross-compiler, qemu-user, and Debian 12's arm64 packages
# of the libraries the build links, unpacked into build/arm64-deps/sysroot;
# nothing when they are there.
.PHONY: arm64 arm64-deps package-arm64
arm64-deps:
	@scripts/install-arm64-deps

# The Linux program cross-built for 64-bit Arm (arm64) in build/arm64; its
# tests run under qemu-user (ctest --preset arm64).
arm64: deps arm64-deps
	@cmake --preset arm64 >/dev/null
	@cmake --build --preset arm64

# Builds build/arm64/zintrel_<version>_arm64.deb.
package-arm64: arm64
	@cd build/arm64 && cpack

# Every test in the release build, then the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the simulation and render
# tests under ThreadSanitizer (the step shares its work with a second
# thread), bounded passes of the two fuzzers over their corpora, the
# Windows build's tests under Wine (on x86-64), the web build's tests under
# Node, headless Chromium, Firefox and WebKitGTK, and (on x86-64) the arm64
# build's under qemu.
test: build
	@ctest --preset $(PRESET)
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --preset asan
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan
	@ctest --preset tsan
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@ctest --preset fuzz
	@if [ "$$(uname -m)" = x86_64 ]; then $(MAKE) --no-print-directory windows && ctest --preset windows; \
	else echo "make test: the Windows program's tests run under Wine, which needs an x86-64 machine: skipped"; fi
	@$(MAKE) --no-print-directory web
	@ctest --preset web
	@if [ "$$(uname -m)" = x86_64 ]; then $(MAKE) --no-print-directory arm64 && ctest --preset arm64; fi

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

# Installs under /usr/local unless PREFIX says otherwise.
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# Builds build/release/zintrel_<version>_amd64.deb.
package: build
	@cd $(BUILD) && cpack

# Renders docs/demo.gif, the animation at the top of README: the first
# seconds after start, drawn by zintrel-headless.
.PHONY: demo
demo: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) --target zintrel-headless
	@scripts/demo $(BUILD)/tools/zintrel-headless docs/demo.gif

# Writes the gallery's thumbnails (gallery/*.gif) from its runs' links, as
# zintrel-headless draws them, and docs/gallery.png, the gallery in one
# picture.
.PHONY: gallery
gallery: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) --target zintrel-headless
	@cmake -DHEADLESS=$(BUILD)/tools/zintrel-headless -DGALLERY=gallery/gallery.json -DOUT=gallery \
	  -DPICTURE=docs/gallery.png -P cmake/make_gallery.cmake

# Renders docs/screenshot.png of both windows under Xvfb.
screenshot: build
	@scripts/screenshot $(BUILD)/app/zintrel docs/screenshot.png

clean:
	rm -rf build
