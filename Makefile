# The two commands a newcomer needs:
#   make run    builds Voxilo and starts it
#   make test   builds everything and runs the whole test suite: the release build, the
#               sanitizer build, the Windows build and its installer under Wine (Qt for
#               Windows is built once, about 25 minutes, into ~/.cache/voxilo), and each
#               fuzz target for a minute
# And for handing Voxilo on:
#   make package          the Debian package, build/voxilo_<version>_<arch>.deb
#   make package-windows  the Windows installer, build-windows/Voxilo-<version>-setup.exe
# Both install what they need first (Debian 12; root or sudo).

BUILD_DIR ?= build
SANITIZE_BUILD_DIR ?= build-sanitize
WINDOWS_BUILD_DIR ?= build-windows
FUZZ_BUILD_DIR ?= build-fuzz
# How long `make fuzz` runs each fuzz target; the test run gives each 60 seconds.
FUZZ_SECONDS ?= 300
BUILD_TYPE ?= Release
CMAKE ?= cmake
CTEST ?= ctest
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build build-sanitize build-windows build-fuzz run test test-release \
        test-sanitize test-windows test-fuzz fuzz bench format package package-windows clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD_DIR)/build.ninja: | deps
	$(CMAKE) -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

$(SANITIZE_BUILD_DIR)/build.ninja: | deps
	$(CMAKE) -S . -B $(SANITIZE_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVOXILO_SANITIZE=ON

# Voxilo and its tests as Windows programs (mingw-w64), to run under Wine, with Qt for Windows
# built once from Debian's source into a cache outside the checkout (scripts/qt-windows.sh).
# Debian's own Qt supplies the build tools (moc, rcc, uic).
QT_WINDOWS = $(shell ./scripts/qt-windows.sh --where 2>/dev/null)
$(WINDOWS_BUILD_DIR)/build.ninja: | deps
	./scripts/qt-windows.sh >/dev/null
	$(CMAKE) -S . -B $(WINDOWS_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DVOXILO_BUILD_BENCH=OFF \
	    -DCMAKE_PREFIX_PATH="$(QT_WINDOWS)" -DQT_HOST_PATH=/usr \
	    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake

# The core and the libFuzzer targets, built with clang and ASan + UBSan.
$(FUZZ_BUILD_DIR)/build.ninja: | deps
	$(CMAKE) -S . -B $(FUZZ_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_CXX_COMPILER=clang++ -DVOXILO_FUZZ=ON

build: deps $(BUILD_DIR)/build.ninja
	$(CMAKE) --build $(BUILD_DIR) -j $(JOBS)

build-sanitize: deps $(SANITIZE_BUILD_DIR)/build.ninja
	$(CMAKE) --build $(SANITIZE_BUILD_DIR) -j $(JOBS)

build-windows: deps $(WINDOWS_BUILD_DIR)/build.ninja
	./scripts/qt-windows.sh >/dev/null
	$(CMAKE) --build $(WINDOWS_BUILD_DIR) -j $(JOBS)

build-fuzz: deps $(FUZZ_BUILD_DIR)/build.ninja
	$(CMAKE) --build $(FUZZ_BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/bin/voxilo

test: test-release test-sanitize test-windows test-fuzz

test-release: build
	$(CTEST) --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Any sanitizer finding ends its test with a failure.
test-sanitize: build-sanitize
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    $(CTEST) --test-dir $(SANITIZE_BUILD_DIR) --output-on-failure -j $(JOBS)

# The Windows suites, the end-to-end run of VX_LO.EXE and the installer, all under Wine.
test-windows: package-windows
	./scripts/run-wine-tests.sh $(WINDOWS_BUILD_DIR)

package: build
	cd $(BUILD_DIR) && cpack -G DEB

# The Windows installer, build-windows/Voxilo-<version>-setup.exe (NSIS).
package-windows: build-windows
	cd $(WINDOWS_BUILD_DIR) && cpack -G NSIS

# Each fuzz target for a minute; any finding fails the run.
test-fuzz: build-fuzz
	./fuzz/run-fuzzers.sh $(FUZZ_BUILD_DIR) 60

fuzz: build-fuzz
	./fuzz/run-fuzzers.sh $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS)

bench: build
	@./scripts/install-deps.sh bench
	./$(BUILD_DIR)/bin/voxilo_bench
	./$(BUILD_DIR)/bin/voxilo_window_bench
	./bench/compare.sh ./$(BUILD_DIR)/bin/voxilo-cli
	./bench/encodings.sh ./$(BUILD_DIR)/bin/voxilo-cli

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_BUILD_DIR) $(WINDOWS_BUILD_DIR) $(FUZZ_BUILD_DIR)
