# The workspace is built, tested and installed by colcon; rosidl's generators
# need Debian's Python, not whichever python3 comes first on PATH.
JOBS ?= 2
# Tests at once: the closed loops wait on the robot's real time far more than they compute.
TEST_JOBS ?= 4
export TEST_JOBS
CMAKE_ARGS ?= -DPython3_EXECUTABLE=/usr/bin/python3 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DCMAKE_INSTALL_RPATH_USE_LINK_PATH=ON
COLCON ?= colcon
# The sanitizer build and its test run live beside the normal ones. -O1 -g1 halves its
# compile time against -O2 -g and still gives reports their lines; the benchmarks and
# the hosts test's tally have no tests to run there.
ASAN_BASES := --build-base build-asan --install-base install-asan
SANITIZE := -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
ASAN_OPT := -O1 -g1 -DNDEBUG
ASAN_SKIP := --packages-skip align_controller_bench hosts_test

# `make install`: a prefix of its own, beside any ROS 2 installation (see docs/node.md).
PREFIX ?= /opt/align_controller
# Given to the installer alone: colcon's CMake would stage the build's own install under it.
unexport DESTDIR

.PHONY: all deps build install test build-asan test-asan test-hosts build-ros2 test-ros2 demo \
	demo-secure bench format clean

all: build

deps:
	scripts/install-deps

build: deps
	MAKEFLAGS=-j$(JOBS) $(COLCON) build --executor sequential --event-handlers console_cohesion+ \
		--cmake-args $(CMAKE_ARGS)

install: build
	scripts/install-prefix install $(PREFIX) $(DESTDIR)

# The tests, then `make install` into a fresh prefix, started from there as its unit says.
test: build
	scripts/run-tests $(JOBS); status=$$?; scripts/test-install install || status=1; exit $$status

# The product built and tested against the real ROS 2 Humble in ../shared/ros2-humble,
# and across the two stacks; our side is the one `make build` installs.
build-ros2: deps
	scripts/test-ros2 build $(JOBS)

test-ros2: build build-ros2
	scripts/test-ros2 test $(JOBS) install

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer. A report ends
# the process it happens in; every report is also written to a file, so that one in a
# child process whose exit status no test looks at still fails the run.
REPORTS := build-asan/sanitizer-reports
build-asan: deps
	MAKEFLAGS=-j$(JOBS) $(COLCON) build $(ASAN_BASES) --executor sequential \
		$(ASAN_SKIP) --cmake-args $(CMAKE_ARGS) "-DCMAKE_C_FLAGS=$(SANITIZE)" "-DCMAKE_CXX_FLAGS=$(SANITIZE)" \
		"-DCMAKE_C_FLAGS_RELWITHDEBINFO=$(ASAN_OPT)" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$(ASAN_OPT)"

test-asan: build-asan
	rm -rf $(REPORTS) && mkdir -p $(REPORTS)
	ASAN_OPTIONS=log_path=$(CURDIR)/$(REPORTS)/asan:detect_leaks=1 \
	UBSAN_OPTIONS=log_path=$(CURDIR)/$(REPORTS)/ubsan:print_stacktrace=1 \
		scripts/run-tests $(JOBS) build-asan install-asan $(ASAN_SKIP); status=$$?; \
	if [ -n "$$(ls $(REPORTS))" ]; then \
		cat $(REPORTS)/*; echo "sanitizer reports: $$(ls $(REPORTS) | wc -l)"; exit 1; \
	fi; exit $$status

# The docking across three hosts, network namespaces made and removed by the
# test (needs root; skipped where the kernel cannot): hosts_test/run.sh.
test-hosts: build
	hosts_test/run.sh install

demo: build
	docking_demo/run_demo.sh install

# The same docking with DDS Security enforced, from a keystore made in out/demo-secure.
demo-secure: build
	docking_demo/run_demo_secure.sh install

bench: build
	bench/docking/run_bench.sh install

# The client layer against the one it replaced: both built, run in turns.
.PHONY: bench-client-layer
bench-client-layer: build
	bench/client_layer/compare.sh install

# The layer against the real rclcpp: the same probe and node built against each, run in
# turns; the rclcpp side is the one make build-ros2 builds.
.PHONY: bench-versus-rclcpp
bench-versus-rclcpp: build build-ros2
	bench/client_layer/versus_rclcpp.sh install install-ros2

format:
	git ls-files '*.cpp' '*.hpp' '*.h' '*.c' | xargs clang-format -i

clean:
	rm -rf build install log build-asan install-asan build-ros2 install-ros2
