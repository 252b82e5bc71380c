# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

.PHONY: deps configure build run run-tool test install package screenshot format clean

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

# The programs, launchers, icons, software-centre data and man pages; DESTDIR stages them.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package in $(BUILD), for `apt install ./$(BUILD)/quillon_<version>_<arch>.deb`.
package: build
	cmake --build $(BUILD) --target package

# Renders the window offscreen to docs/window.png, the picture in the README.
screenshot: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/app/quillon-screenshot docs/window.png

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-test build-asan
