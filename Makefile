# One-command entry points: each installs what is missing, builds, and runs.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps configure build zelmar interest test bench clean

all: build

deps:
	@sh scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

zelmar: configure
	cmake --build $(BUILD) --target Zelmar
	./$(BUILD)/explorer/Zelmar

interest: configure
	@if grep -q "add_executable(interest" calculator/CMakeLists.txt; then \
	    cmake --build $(BUILD) --target interest && ./$(BUILD)/calculator/interest; \
	else echo "The calculator is not built yet."; fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

bench: build
	./$(BUILD)/bench/zelmar_bench

clean:
	rm -rf $(BUILD)
