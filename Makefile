# The two commands of the README. Both install what is missing first (scripts/setup).
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup build build-run run test test-sanitize test-thread fuzz bench format tidy clean

all: build

setup:
	@bash scripts/setup

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# What `make run` starts, and nothing else: the command line and the demo boards (no
# tests, benchmarks or window), so a first run does not wait for them; and the shipped
# sources.def, so that the same `tessaly` searches the real boards from a new home.
RUN_TARGETS = tessaly tessaly-demo-sites tessaly_shipped_data

build-run: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target $(RUN_TARGETS)

# The main job on the embedded demo.
run: build-run
	@bash scripts/run-demo $(BUILD)

# Builds everything and runs every test.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# ASan + UBSan, and TSan, over the same tests (slower; not part of `make test`).
test-sanitize: setup
	CXX=clang++ cmake -S . -B build-asan -G Ninja -DTESSALY_SANITIZE=address -DTESSALY_GUI=OFF -DTESSALY_BENCH=OFF
	cmake --build build-asan -j $(JOBS)
	ctest --test-dir build-asan --output-on-failure -j $(JOBS)

test-thread: setup
	CXX=clang++ cmake -S . -B build-tsan -G Ninja -DTESSALY_SANITIZE=thread -DTESSALY_GUI=OFF -DTESSALY_BENCH=OFF
	cmake --build build-tsan -j $(JOBS)
	ctest --test-dir build-tsan --output-on-failure -j $(JOBS)

# clang-tidy over src/ (the window too, when it is built) with .clang-tidy; any finding fails.
tidy: build
	cmake --build $(BUILD) --target tidy

fuzz: setup
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTESSALY_FUZZ=ON -DTESSALY_SANITIZE=address -DTESSALY_GUI=OFF -DTESSALY_BENCH=OFF -DTESSALY_TESTS=ON
	cmake --build build-fuzz -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz
