# Every target installs what is missing first, so a fresh Debian 12 machine needs only
# `make run` or `make test`.
GENERATOR := -G Ninja
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps build test test-fast asan tsan run clean bench

all: build

deps:
	@bash scripts/deps.sh

build/build.ninja: | deps
	cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps build/build.ninja
	cmake --build build -j $(JOBS)

# The plain build's tests, then the same tests under ASan+UBSan and TSan.
test: test-fast asan tsan

test-fast: build
	ctest --test-dir build --output-on-failure -j $(JOBS)

build-asan/build.ninja: | deps
	cmake -S . -B build-asan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=address $(CMAKE_FLAGS)

asan: deps build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)

build-tsan/build.ninja: | deps
	cmake -S . -B build-tsan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=thread \
	  -DCORVANE_WITH_GUI=OFF $(CMAKE_FLAGS)

tsan: deps build-tsan/build.ninja
	cmake --build build-tsan -j $(JOBS)
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --test-dir build-tsan --output-on-failure -j $(JOBS)

run: build
	./build/cli/corvane-cli --help

clean:
	rm -rf build build-asan build-tsan build-fuzz build-bench
