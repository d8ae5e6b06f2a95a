# Everything a fresh Debian 12 machine needs, from one command.
BUILD ?= build
GENERATOR ?= Ninja
JOBS ?= $(shell nproc)

.PHONY: all bootstrap configure build test test-sanitize fuzz demo bench bench-tree package package-check clean

all: build

bootstrap:
	bash scripts/bootstrap

configure: bootstrap
	cmake -S . -B $(BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)

# The whole suite again with AddressSanitizer and UndefinedBehaviorSanitizer.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0
test-sanitize: bootstrap
	cmake -S . -B $(SANITIZE_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DKRELLIN_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

# libFuzzer targets built with clang, each run for FUZZ_SECONDS from the
# committed corpus in tests/fuzz/corpus/.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 40
fuzz:
	bash scripts/bootstrap clang libclang-rt-14-dev
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G $(GENERATOR) \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKRELLIN_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target krellin_fuzzers
	bash tests/fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Throughput and memory against curl through vsftpd, printed with ratios.
bench: build
	bash bench/run

# Folder trees: get -r/put -r --parallel 4 against lftp's mirror, on vsftpd
# and on a pyftpdlib that answers 20 ms late.
bench-tree: build
	bash bench/tree

# Krellin with the bundled demo server on 127.0.0.1:2121.
demo: build
	bash scripts/demo

# Debian packages of the program and of krellin-cli
# (build/krellin_<version>_<arch>.deb, build/krellin-cli_<version>_<arch>.deb).
package: build
	bash scripts/bootstrap dpkg-dev
	rm -f $(BUILD)/krellin_*.deb $(BUILD)/krellin-cli_*.deb
	cd $(BUILD) && cpack -G DEB

# The packages through lintian and appstreamcli, installed with apt, run,
# and purged without a trace (needs root or sudo).
package-check: package
	bash scripts/bootstrap lintian appstream man-db
	bash scripts/package-check $(BUILD)
