# The two commands of the README: `make run` and `make test`. Both install what is missing first.
BUILD_DIR ?= build
GENERATOR ?= Ninja
# Debian packages the build and the tests need.
PACKAGES := cmake ninja-build g++ make libgtest-dev tzdata

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@scripts/install-packages $(PACKAGES)

configure: deps
	cmake -S . -B $(BUILD_DIR) -G $(GENERATOR)

build: configure
	cmake --build $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 300 -j 2

run: build
	scripts/make-demo $(BUILD_DIR)
	$(BUILD_DIR)/ablagekehrer

bench: build
	bench/run $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
