# Thin wrapper over CMake presets and the dependency script; the build itself lives in CMakeLists.txt.
# Under CI (CI=true) compiler warnings are errors.
PRESET := $(if $(CI),ci,default)

.PHONY: all deps build run test test-asan release install package bench fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

run: build
	./build/bin/quenzil

# The whole suite, then the whole suite again under AddressSanitizer and UBSan (build-asan/).
test: build
	ctest --preset $(PRESET)
	$(MAKE) --no-print-directory test-asan

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# The programs alone, for install and package: the release preset (build-release/) builds no
# tests or benchmarks, so it needs neither GoogleTest nor the test tools.
release:
	@bash scripts/install-deps.sh --build-only
	cmake --preset release
	cmake --build --preset release

# Installs the programs, desktop entry, icons, manual pages, copyright and changelog under PREFIX
# (/usr/local by default), stripped; through sudo when PREFIX is not writable, so the build itself
# never runs as root.
PREFIX ?= /usr/local
install: release
	@if [ "$$(id -u)" -eq 0 ] || { mkdir -p "$(PREFIX)" 2>/dev/null && [ -w "$(PREFIX)" ]; }; then \
	    cmake --install build-release --prefix "$(PREFIX)" --strip; \
	else \
	    sudo cmake --install build-release --prefix "$(PREFIX)" --strip; \
	fi

# The Debian package build-release/quenzil_VERSION_ARCH.deb (CPack; see packaging/CMakeLists.txt).
package: release
	cmake --build --preset release --target package

# For developers, not CI: runs the fuzz target (needs clang; see README). FUZZ_SECONDS=60 by default.
FUZZ_SECONDS ?= 60
fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz
	mkdir -p fuzz-out/corpus fuzz-out/artifacts
	./build-fuzz/bin/fuzz_picture -dict=fuzz/picture.dict -max_total_time=$(FUZZ_SECONDS) \
	    -max_len=65536 -rss_limit_mb=2048 -timeout=10 -artifact_prefix=fuzz-out/artifacts/ \
	    fuzz-out/corpus fuzz/corpus

bench: build
	@bash scripts/install-deps.sh ffmpeg time
	bash bench/run-all.sh

clean:
	rm -rf build build-release build-asan build-fuzz
