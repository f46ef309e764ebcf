# make run   - install what is missing, build (Release) and start Marvesk
# make test  - the same set-up, then every test through ctest
# make bench - the benchmarks (figures as ratios against a baseline of the same run)

BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all setup configure build run test bench clean

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

bench: build
	./$(BUILD_DIR)/bench/marvesk_bench $(BENCH_ARGS)
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/marvesk_bench_ui $(BENCH_ARGS)

clean:
	rm -rf $(BUILD_DIR)
