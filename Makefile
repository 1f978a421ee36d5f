# The two commands of the quick start:
#   make run    install what is missing, build, decode the sample capture
#   make test   build and run the whole suite, normally and under ASan+UBSan
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
SAMPLE ?= samples/sample.pcap

PACKAGES := cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpcap-dev \
            nlohmann-json3-dev libcli11-dev ieee-data
FUZZ_PACKAGES := clang libclang-rt-14-dev

CMAKE_FLAGS ?=

.PHONY: all deps build run test test-normal test-sanitize bench compare fuzz install clean

all: build

# Installs the Debian packages the build needs when they are missing (as root).
deps:
	@./scripts/install-deps $(PACKAGES)

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/tools/vdecode/vdecode -V $(SAMPLE)

test: deps test-normal test-sanitize

test-normal:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	cd $(BUILD_DIR) && ctest --output-on-failure

test-sanitize:
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DVEL_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure

bench: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEL_BUILD_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	$(BUILD_DIR)/bench/vel_bench

# vdecode against tshark and tcpdump on a mixed capture of 100,000 packets
# (bench/compare.sh installs the two tools when they are missing).
compare: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target vdecode
	VDECODE=$(BUILD_DIR)/tools/vdecode/vdecode bench/compare.sh

# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS:
# frames of every link type, then pcapng files.
fuzz:
	@./scripts/install-deps $(PACKAGES) $(FUZZ_PACKAGES)
	CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEL_BUILD_FUZZ=ON \
	  -DVEL_BUILD_TESTS=OFF -DVEL_BUILD_TOOLS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target vel_fuzz vel_pcapng_fuzz
	mkdir -p $(FUZZ_DIR)/corpus $(FUZZ_DIR)/corpus-pcapng
	$(FUZZ_DIR)/fuzz/vel_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=2048 $(FUZZ_DIR)/corpus fuzz/corpus
	$(FUZZ_DIR)/fuzz/vel_pcapng_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4096 $(FUZZ_DIR)/corpus-pcapng \
	  fuzz/corpus-pcapng

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
