# make run   - install what is missing, build (Release) and start Marvesk
# make test  - the same set-up, then every test through ctest
# make bench - the benchmarks (figures as ratios against a baseline of the same run)
# make sanitize - every test again, built with AddressSanitizer and UBSan
# make fuzz  - the libFuzzer targets (clang), FUZZ_SECONDS each
# make install - the program, its desktop entry, icons and metainfo under
#                PREFIX (default /usr/local; as root for a system prefix)
# make package - a Debian package build/marvesk_VERSION_amd64.deb
# make screenshots - the README's pictures, made anew into docs/

BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
MAX_LEN ?= 65536
FUZZ_TARGETS ?= split load load_small_reads settings roundtrip transpose
# Leaks count as failures; Qt's and fontconfig's own at exit are suppressed.
SANITIZE_ENV = QT_QPA_PLATFORM=offscreen \
  ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1:print_stacktrace=1:strict_string_checks=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0

PREFIX ?= /usr/local

.PHONY: all setup configure build run test bench sanitize fuzz install package screenshots clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/Marvesk

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 600

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

package: build
	cd $(BUILD_DIR) && cpack -G DEB

screenshots: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target screenshots

bench: build
	./$(BUILD_DIR)/bench/marvesk_bench $(BENCH_ARGS)
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/marvesk_bench_ui $(BENCH_ARGS)

sanitize: setup
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARVESK_SANITIZE=ON > /dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS) --timeout 1200

fuzz:
	@bash scripts/setup.sh fuzz
	@CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARVESK_FUZZ=ON \
	  -DMARVESK_CORE_ONLY=ON > /dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets
	@bash tests/fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(MAX_LEN) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD_DIR)
