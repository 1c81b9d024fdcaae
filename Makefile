# One-command entry points: each installs what is missing, builds, and runs.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
FUZZ_BUILD ?= build-fuzz
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
# Length of each fuzz target's run under `make fuzz`, in seconds.
FUZZ_SECONDS ?= 300
# Length of each program's monkey run under `make soak`, in seconds, and its
# seed (empty: drawn from the clock and printed; give it to replay a run).
SOAK_SECONDS ?= 180
SOAK_SEED ?=
# Where `make install` puts the programs, menu entries, icons and manual pages.
PREFIX ?= /usr/local
ASAN_FLAGS = -DCMAKE_BUILD_TYPE=Debug -DZELMAR_SANITIZE=ON -DZELMAR_BUILD_BENCH=OFF
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1

.PHONY: all deps configure build zelmar interest test fuzz-short fuzz test-asan test-tsan soak bench install deb clean

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
	cmake --build $(BUILD) --target interest
	./$(BUILD)/calculator/interest

# A short run of each fuzz target, then every test, headless.
test: build fuzz-short
	cd $(FUZZ_BUILD) && ctest --output-on-failure -L fuzz
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

$(FUZZ_BUILD)/build.ninja:
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_COMPILER=clang++ -DZELMAR_FUZZ=ON -DZELMAR_BUILD_BENCH=OFF

fuzz-short: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) --target fuzzers

# Longer fuzzing: FUZZ_SECONDS per target; crash inputs are written to $(FUZZ_BUILD)/tests/fuzz.
fuzz: fuzz-short
	cmake -S . -B $(FUZZ_BUILD) -DFUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	cd $(FUZZ_BUILD) && ctest --output-on-failure -L fuzz; status=$$?; cd ..; \
	    cmake -S . -B $(FUZZ_BUILD) -DFUZZ_SECONDS=5 >/dev/null; exit $$status

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja $(ASAN_FLAGS)
	cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen $(SANITIZER_ENV) \
	    ctest --output-on-failure -j2 -LE "fuzz|slow"

# The render engine's tests (its threads, kernels and levels, no window) and
# the deep rows' hand-over built with ThreadSanitizer; only those binaries and
# what they link are built.
TSAN_FLAGS = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELMAR_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja $(TSAN_FLAGS)
	cmake --build $(TSAN_BUILD) --target engine_test deep_rows_test
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ./$(TSAN_BUILD)/tests/engine/engine_test
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ./$(TSAN_BUILD)/tests/deep/deep_rows_test

# Both programs, built with the sanitizers, under SOAK_SECONDS each of seeded
# random X events (tests/soak/): they must stay alive, answer, and keep their
# memory bounded. A failure prints the seed and event count that replay it.
soak: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja $(ASAN_FLAGS)
	cmake --build $(ASAN_BUILD) --target Zelmar interest
	$(SANITIZER_ENV) SOAK_SECONDS=$(SOAK_SECONDS) SOAK_SEED=$(SOAK_SEED) \
	    bash tests/soak/soak.sh $(ASAN_BUILD)

bench: build
	./$(BUILD)/bench/zelmar_bench
	./$(BUILD)/bench/deep_bench
	./$(BUILD)/bench/deep_pass_bench

# Both programs with their menu entries, icons, metainfo and manual pages
# under PREFIX (DESTDIR is honoured too).
install: configure
	cmake --build $(BUILD) --target Zelmar interest desktop_files
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, through CPack, into $(BUILD)/packages/.
deb: configure
	cmake --build $(BUILD) --target Zelmar interest desktop_files
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
