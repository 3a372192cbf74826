# Thin wrapper over CMake presets and the dependency script; the build itself lives in CMakeLists.txt.
# Under CI (CI=true) compiler warnings are errors.
PRESET := $(if $(CI),ci,default)

.PHONY: all deps build run test bench clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

run: build
	./build/bin/quenzil

test: build
	ctest --preset $(PRESET)

bench: build
	@bash scripts/install-deps.sh ffmpeg
	bash bench/run-all.sh

clean:
	rm -rf build
