# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local
FUZZ_TARGETS = fuzz_replyparser fuzz_settings
FUZZ_RUNS ?= 200000
FUZZ_TIME ?= 600

# Any sanitizer finding, a leak included, ends the test with a failure.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: deps configure build run run-tool test suite asan fuzz-build fuzz fuzz-long bench install package screenshot format clean

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

# What CI runs: short fuzz runs, the suite under sanitizers, then the suite itself, whose
# summary closes the output.
test: deps
	$(MAKE) fuzz
	$(MAKE) asan
	$(MAKE) suite

# Warnings are errors here, as in CI.
suite: deps
	cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build build-test -j$(JOBS)
	cd build-test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The programs, launchers, icons, software-centre data and man pages; DESTDIR stages them.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package in $(BUILD), for `apt install ./$(BUILD)/quillon_<version>_<arch>.deb`.
package: build
	cmake --build $(BUILD) --target package

# The suite built with clang under AddressSanitizer and UndefinedBehaviorSanitizer. A run that
# finds no test fails, so a broken test list never passes as clean.
asan: deps
	CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DQUILLON_SANITIZE=ON -DQUILLON_WERROR=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build build-asan -j$(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen $(SANITIZER_ENV) \
		ctest --output-on-failure --no-tests=error -j$(JOBS)

# libFuzzer targets of the protocol code; only they are built here.
fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DQUILLON_FUZZ=ON -DQUILLON_WERROR=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build build-fuzz -j$(JOBS) --target $(FUZZ_TARGETS)

# A smoke run of each target from its seeds; crashing inputs go to build-fuzz/artifacts.
fuzz: fuzz-build
	scripts/run-fuzz build-fuzz -runs=$(FUZZ_RUNS) -verbosity=0 -print_final_stats=1

# FUZZ_TIME seconds per target, on a corpus kept in build-fuzz/corpus between runs.
fuzz-long: fuzz-build
	scripts/run-fuzz build-fuzz --keep -max_total_time=$(FUZZ_TIME) -use_value_profile=1

# Release build; each benchmark prints a table and a summary line, and none ever fails. The
# command-line benchmark's peer is a pyserial script, so only this target installs pyserial.
bench:
	@scripts/install-deps python3-serial
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUILLON_WERROR=ON -DQUILLON_BENCH=ON \
		$(CMAKE_FLAGS) >/dev/null
	cmake --build build-bench -j$(JOBS) --target bench_programs >/dev/null
	cd build-bench/bench && export QT_QPA_PLATFORM=offscreen && ./quillon-bench-paced; \
		./quillon-bench-exchange; ./quillon-bench-startup; ./quillon-bench-soak; \
		./quillon-bench-provision; ./quillon-bench-provision --tmpfs-lock-directory; \
		./quillon-bench-stations; ./quillon-bench-cli-read; ./quillon-bench-station; true

# Renders the window offscreen to docs/window.png, the picture in the README.
screenshot: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/app/quillon-screenshot docs/window.png
	QT_QPA_PLATFORM=offscreen $(BUILD)/app/quillon-station-screenshot docs/station.png
	QT_QPA_PLATFORM=offscreen $(BUILD)/app/quillon-station-screenshot docs/station-dark.png --dark

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-test build-asan build-fuzz build-bench
