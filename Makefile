# Everything a fresh Debian 12 machine needs, from one command.
BUILD ?= build
GENERATOR ?= Ninja
JOBS ?= $(shell nproc)

.PHONY: all bootstrap configure build test demo bench clean

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

# Throughput and memory against curl through vsftpd, printed with ratios.
bench: build
	bash bench/run

# Krellin with the bundled demo server on 127.0.0.1:2121.
demo: build
	bash scripts/demo
