# The README's commands: make run, make test, make build (and make test-sanitize).
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

DEB_DIR ?= build-deb

FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps build run test test-sanitize deb fuzz format clean

all: build

deps:
	@scripts/install-deps

# Compiled as the package is, through ccache (scripts/configure): the package test then reuses the
# objects instead of compiling the tree again.
$(BUILD_DIR)/CMakeCache.txt: | deps
	scripts/configure $(BUILD_DIR) $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run

test: build
	scripts/run-tests $(BUILD_DIR)

test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DQX_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	QX_SANITIZE=1 scripts/run-tests $(SANITIZE_DIR)

# The Debian packages qxcamera and libqmrapi-dev, built from a copy of the tree into $(DEB_DIR)/.
deb: deps
	scripts/make-deb $(DEB_DIR)

# libFuzzer runs of every fuzz target (clang), FUZZ_SECONDS each, on a copy of the seed corpus.
fuzz:
	@scripts/install-deps fuzz
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQX_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_profile fuzz_bmp fuzz_picture fuzz_cardtext fuzz_cardrecord fuzz_hid_descriptor fuzz_virtual_cameras
	scripts/run-fuzz $(FUZZ_DIR) $(FUZZ_SECONDS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(DEB_DIR)
