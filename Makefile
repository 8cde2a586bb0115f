# Lanterna: `make run` shows the sample pictures, `make test` runs every test.
# Both install what is missing first (as root; otherwise they say what to run).

BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
PREFIX     ?= /usr/local
DESTDIR    ?=
JOBS       ?= $(shell nproc)
CMAKE_GEN   = -G Ninja
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test test-asan test-tsan fuzz bench bench-quick install deb clean

all: build

deps:
	@sh scripts/deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@sh scripts/run-samples.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 300
	$(MAKE) --no-print-directory test-asan
	$(MAKE) --no-print-directory test-tsan

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DLANTERNA_SANITIZE=address,undefined
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) --timeout 600

# The threaded parts (tasks, timer, stream, cycling) under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DLANTERNA_SANITIZE=thread \
	  -DLANTERNA_THREAD_TESTS_ONLY=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target tsan_tests
	ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) --timeout 600 --no-tests=error

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DLANTERNA_FUZZ=ON -DLANTERNA_TESTS=OFF -DLANTERNA_WERROR=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets

# Lanterna against ilbmtoppm and ffmpeg, the window under Xvfb and the cost
# of cycling; fails while a speed target is missed. bench-quick: about a minute.
bench: build
	@sh bench/run.sh $(BUILD)

bench-quick: build
	@sh bench/run.sh $(BUILD) quick

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package build/deb/lanterna_VERSION_ARCH.deb (and its -dbgsym),
# built by dpkg-buildpackage from a copy of the tree, then checked: lintian,
# and as root an install and purge that must leave nothing behind.
deb:
	@sh scripts/deps.sh deb
	@sh scripts/make_deb.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
