# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build run run-tool test bench screenshot format clean

deps:
	@scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/app/quillon-demo

run-tool: build
	$(BUILD)/app/quillon

# Warnings are errors here, as in CI.
test: deps
	cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build build-test -j$(JOBS)
	cd build-test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# Release build; each benchmark prints a table and a summary line, and none ever fails.
bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUILLON_WERROR=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build build-bench -j$(JOBS) --target bench_programs >/dev/null
	cd build-bench/bench && export QT_QPA_PLATFORM=offscreen && ./quillon-bench-exchange; \
		./quillon-bench-startup; ./quillon-bench-soak; true

# Renders the window offscreen to docs/window.png, the picture in the README.
screenshot: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/app/quillon-screenshot docs/window.png

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-test build-asan build-bench
