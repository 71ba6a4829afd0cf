BUILD ?= build
JOBS ?= 2

.PHONY: all deps build test demo bench format clean

all: build

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	tools/demo/run_demo.sh $(BUILD)

bench: build
	bench/docking/run_bench.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.hpp' '*.h' '*.c' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
