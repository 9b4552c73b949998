# The two commands of the README: `make run` and `make test`. Both install what is missing first.
BUILD_DIR ?= build
GENERATOR ?= Ninja
# Debian packages the build and the tests need: the window is Qt 6 Widgets, its images SVG, and
# its font metrically close to the design's.
PACKAGES := cmake ninja-build g++ make libgtest-dev tzdata qt6-base-dev qt6-svg-dev \
	fonts-liberation2

.PHONY: all deps configure build test run bench screenshot clean

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

# docs/screenshot.png: the window on the demo folder, on a virtual display.
screenshot: build
	scripts/screenshot $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
