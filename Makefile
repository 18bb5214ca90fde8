# The commands of the README:
#   make run      install what the app needs, build, start the app
#   make test     install what the tests need too, build with the sanitizers, run every test
#   make install  build and install the app under PREFIX (default /usr/local)
#   make package  build the Debian package (build/release/vude_<version>_amd64.deb)
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
CMAKE_GENERATE = cmake -S . -G Ninja -Wno-dev --log-level=WARNING
RUN_PACKAGES = scripts/packages.txt
TEST_PACKAGES = $(RUN_PACKAGES) scripts/test-packages.txt
RELEASE_DIR = $(BUILD_DIR)/release

# Recipes are bash with pipefail, so a filtered build still fails when it fails.
SHELL := /bin/bash
.SHELLFLAGS := -o pipefail -c

.PHONY: setup setup-test build run test bench install package clean

setup:
	@scripts/setup $(RUN_PACKAGES)

setup-test:
	@scripts/setup $(TEST_PACKAGES)

# Quiet when nothing changed: configured once (ninja reruns CMake itself when a
# CMake file changes), and ninja's lines for an empty build left out.
QUIET_NINJA = { grep -vxE 'ninja: no work to do\.|\[0/[0-9]+\] Re-checking globbed directories\.\.\.' || true; }
build: setup
	@[ -f $(RELEASE_DIR)/build.ninja ] || $(CMAKE_GENERATE) -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVUDE_BUILD_TESTS=OFF -DVUDE_BUILD_BENCHMARKS=OFF
	@cmake --build $(RELEASE_DIR) | $(QUIET_NINJA)

run: build
	@scripts/run-app $(RELEASE_DIR)/Vude/vude

# The benchmarks are built here too (never run), so they cannot rot unseen.
test: setup-test
	@$(CMAKE_GENERATE) -B $(BUILD_DIR)/test -DCMAKE_BUILD_TYPE=Debug -DVUDE_SANITIZE=ON \
		-DVUDE_BUILD_BENCHMARKS=ON
	@cmake --build $(BUILD_DIR)/test
	@ctest --test-dir $(BUILD_DIR)/test --output-on-failure --no-tests=error -j $(JOBS)

# Benchmarks are not tests: built optimised, run on demand, never under ctest.
bench: setup-test
	@scripts/setup scripts/bench-packages.txt
	@$(CMAKE_GENERATE) -B $(BUILD_DIR)/bench -DCMAKE_BUILD_TYPE=Release -DVUDE_BUILD_TESTS=OFF
	@cmake --build $(BUILD_DIR)/bench
	@for program in $(BUILD_DIR)/bench/bench/*Bench; do echo "== $$program"; "$$program"; done

install: build
	cmake --install $(RELEASE_DIR) --prefix $(PREFIX)

package: build
	@rm -f $(RELEASE_DIR)/vude_*.deb
	cd $(RELEASE_DIR) && cpack
	@scripts/check-package $(RELEASE_DIR)/vude_*.deb

clean:
	rm -rf $(BUILD_DIR)
