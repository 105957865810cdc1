# Every target installs what is missing first, so a fresh Debian 12 machine needs only
# `make run` or `make test`.
GENERATOR := -G Ninja
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps build test test-fast asan tsan fuzz bench run screenshots clean

all: build

deps:
	@bash scripts/deps.sh

build/build.ninja: | deps
	cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps build/build.ninja
	cmake --build build -j $(JOBS)

# The plain build's tests, then the same tests under ASan+UBSan and TSan, then a short
# fixed run of every fuzz harness.
test: test-fast asan tsan fuzz

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

# libFuzzer harnesses (clang, ASan+UBSan), each run for FUZZ_SECONDS.
FUZZ_SECONDS ?= 20
build-fuzz/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCORVANE_SANITIZE=address -DCORVANE_WITH_FUZZ=ON -DCORVANE_WITH_TESTS=OFF \
	  -DCORVANE_WITH_GUI=OFF $(CMAKE_FLAGS)

fuzz: deps build-fuzz/build.ninja
	cmake --build build-fuzz -j $(JOBS)
	@set -e; for f in build-fuzz/tests/fuzz/fuzz_*; do \
	  [ -x "$$f" ] || continue; \
	  echo "fuzz: $$f for $(FUZZ_SECONDS) s"; \
	  mkdir -p build-fuzz/corpus/$$(basename $$f); \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -print_final_stats=0 \
	    build-fuzz/corpus/$$(basename $$f) 2>build-fuzz/$$(basename $$f).log \
	    || { tail -50 build-fuzz/$$(basename $$f).log; exit 1; }; \
	done; echo "fuzz: all harnesses clean"

# Benchmarks, with their figures on standard output.
build-bench/build.ninja: | deps
	cmake -S . -B build-bench $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DCORVANE_WITH_BENCH=ON \
	  -DCORVANE_WITH_GUI=OFF $(CMAKE_FLAGS)

bench: deps build-bench/build.ninja
	cmake --build build-bench -j $(JOBS)
	@set -e; for b in build-bench/bench/*_bench; do [ -x "$$b" ] && "$$b"; done

# The desktop client in demo mode: the local service runs inside it (log in as demo /
# demo). Without a display (no DISPLAY, no WAYLAND_DISPLAY) it runs under Xvfb, where
# nothing can be seen but nothing fails either.
run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "run: no display found; starting the client under xvfb-run (invisible)."; \
	  echo "run: set DISPLAY (or use ssh -X) to see it."; \
	  xvfb-run -a ./build/ui/corvane --demo; \
	else \
	  ./build/ui/corvane --demo; \
	fi

# Pictures of every window, under Xvfb, into docs/screenshots/.
screenshots: build
	xvfb-run -a -s "-screen 0 1024x768x24" ./build/ui/corvane-screenshots docs/screenshots

clean:
	rm -rf build build-asan build-tsan build-fuzz build-bench
