// The skin step at start-up: loading the carried engine (mapping, relocations, imports,
// entry point) and applying the carried skin, apart and together. Goal: under 50 ms
// for both.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "app/memory_module.h"
#include "app/skin.h"

namespace corvane {
namespace {

bool engine_carried(benchmark::State& state) {
  if (skin_engine_image().empty()) {
    state.SkipWithError("built without the cross compiler");
    return false;
  }
  register_skin_host();
  return true;
}

void BM_LoadEngine(benchmark::State& state) {
  if (!engine_carried(state)) return;
  for (auto _ : state) {
    MemoryModule engine;
    if (!engine.load(skin_engine_image())) state.SkipWithError("engine did not load");
    state.PauseTiming();
    engine.unload();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LoadEngine)->Unit(benchmark::kMillisecond);

void BM_ApplySkin(benchmark::State& state) {
  if (!engine_carried(state)) return;
  MemoryModule engine;
  if (!engine.load(skin_engine_image())) {
    state.SkipWithError("engine did not load");
    return;
  }
  std::size_t sheet = 0;
  set_skin_style_sink([&](const SkinStyle& style) { sheet = style.style_sheet.size(); });
  for (auto _ : state) {
    if (apply_skin(engine, skin_data(), std::nullopt, 0, 0, 0) != SKIN_APPLIED)
      state.SkipWithError("skin not applied");
  }
  state.counters["sheet_bytes"] = static_cast<double>(sheet);
  set_skin_style_sink({});
  engine.unload();
}
BENCHMARK(BM_ApplySkin)->Unit(benchmark::kMillisecond);

// What start-up pays: a fresh engine loaded and the skin applied with a colour shift.
void BM_LoadAndApply(benchmark::State& state) {
  if (!engine_carried(state)) return;
  set_skin_style_sink([](const SkinStyle& style) { benchmark::DoNotOptimize(style.style_sheet.data()); });
  for (auto _ : state) {
    MemoryModule engine;
    if (!engine.load(skin_engine_image()) ||
        apply_skin(engine, skin_data(), std::nullopt, 30, 10, -10) != SKIN_APPLIED)
      state.SkipWithError("skin not applied");
    state.PauseTiming();
    engine.unload();
    state.ResumeTiming();
  }
  set_skin_style_sink({});
}
BENCHMARK(BM_LoadAndApply)->Unit(benchmark::kMillisecond);

// Start-up as the program does it, once per process: the first use also creates the
// x86 machine (the emulator, where there is one).
void report_cold_start() {
  if (skin_engine_image().empty()) return;
  const auto start = std::chrono::steady_clock::now();
  const bool loaded = load_skin_engine();
  const int result = apply_skin(skin_data(), std::nullopt, 0, 0, 0);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  std::printf("cold start: load_skin_engine %s, apply_skin %d, %.2f ms (goal: under 50 ms)\n",
              loaded ? "ok" : "failed", result, took.count());
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
  corvane::report_cold_start();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
