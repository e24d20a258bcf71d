# Entry points for a newcomer: `make test` installs what is missing, builds and runs the tests.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps build windows test demo clean

deps:
	scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# The 32-bit Windows program, build-win32/tandemix.exe, with the MinGW-w64 cross compiler.
windows: deps
	cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=platform/win32/toolchain-i686.cmake \
	      -DCMAKE_BUILD_TYPE=Release
	cmake --build build-win32 -j $(JOBS)

# Normal build, then AddressSanitizer + UndefinedBehaviorSanitizer, then the threaded
# tests under ThreadSanitizer; last the Windows program and its tests under Wine.
test: deps
	scripts/run-tests.sh

# Two simulated devices talking through tandemix over virtual serial ports.
demo: build
	scripts/demo.sh

clean:
	rm -rf build build-asan build-tsan build-win32
