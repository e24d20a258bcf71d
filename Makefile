# Entry points for a newcomer: `make test` installs what is missing, builds and runs the tests.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps build test demo clean

deps:
	scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# Normal build, then AddressSanitizer + UndefinedBehaviorSanitizer, then the threaded
# tests under ThreadSanitizer.
test: deps
	scripts/run-tests.sh

# Two simulated devices talking through tandemix over virtual serial ports.
demo: build
	scripts/demo.sh

clean:
	rm -rf build build-asan build-tsan
