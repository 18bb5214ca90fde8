# The two commands of the README:
#   make run    install what is missing, build, start the app
#   make test   install what is missing, build with the sanitizers, run every test
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_GENERATE = cmake -S . -G Ninja -Wno-dev --log-level=WARNING

.PHONY: setup build run test bench clean

setup:
	@scripts/setup

build: setup
	@$(CMAKE_GENERATE) -B $(BUILD_DIR)/release -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVUDE_BUILD_TESTS=OFF -DVUDE_BUILD_BENCHMARKS=OFF
	@cmake --build $(BUILD_DIR)/release --target vude

run: build
	@scripts/run-app $(BUILD_DIR)/release/Vude/vude

# The benchmarks are built here too (never run), so they cannot rot unseen.
test: setup
	@$(CMAKE_GENERATE) -B $(BUILD_DIR)/test -DCMAKE_BUILD_TYPE=Debug -DVUDE_SANITIZE=ON \
		-DVUDE_BUILD_BENCHMARKS=ON
	@cmake --build $(BUILD_DIR)/test
	@ctest --test-dir $(BUILD_DIR)/test --output-on-failure --no-tests=error -j $(JOBS)

# Benchmarks are not tests: built optimised, run on demand, never under ctest.
bench: setup
	@scripts/setup scripts/bench-packages.txt
	@$(CMAKE_GENERATE) -B $(BUILD_DIR)/bench -DCMAKE_BUILD_TYPE=Release -DVUDE_BUILD_TESTS=OFF
	@cmake --build $(BUILD_DIR)/bench
	@for program in $(BUILD_DIR)/bench/bench/*Bench; do echo "== $$program"; "$$program"; done

clean:
	rm -rf $(BUILD_DIR)
