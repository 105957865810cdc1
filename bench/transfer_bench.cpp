// Transfer client throughput on loopback, and the memory goal of downloads: the peak
// resident size must not grow with the size of the file, because the body goes straight
// from the connection into the file.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "http/transfer_client.h"
#include "tests/support/process.h"
#include "tests/support/raw_server.h"
#include "tests/support/temp_dir.h"

namespace {

using corvane::TransferClient;
using corvane::test::RawConnection;
using corvane::test::RawServer;

long peak_rss_kb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Serves a body of the requested size in 64 KB writes, never holding it whole.
RawServer streaming_server(std::int64_t size) {
  return RawServer(
      [size](RawConnection& c) {
        c.write("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n");
        const std::string block(65536, 'x');
        for (std::int64_t left = size; left > 0;) {
          std::int64_t n = std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size()));
          if (!c.write(std::string_view(block).substr(0, static_cast<std::size_t>(n)))) return;
          left -= n;
        }
      },
      0);
}

void BM_Download(benchmark::State& state) {
  const std::int64_t size = state.range(0) << 20;
  RawServer server = streaming_server(size);
  corvane::test::TempDir dir;
  long before = peak_rss_kb();
  for (auto _ : state) {
    TransferClient client;
    client.open("GET", server.base_url() + "/f");
    client.send();
    if (!client.receive_to_file(dir.str(), "f.bin")) state.SkipWithError("download failed");
  }
  state.SetBytesProcessed(state.iterations() * size);
  // Stays near zero whatever the size: the file is never held in memory.
  state.counters["peak_rss_growth_kb"] = static_cast<double>(peak_rss_kb() - before);
}
BENCHMARK(BM_Download)->Arg(16)->Arg(1024)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same download by the curl command-line tool, against the same kind of server, as the
// yardstick for throughput.
void BM_CurlDownload(benchmark::State& state) {
  const std::int64_t size = state.range(0) << 20;
  RawServer server = streaming_server(size);
  corvane::test::TempDir dir;
  const std::string out = dir.str() + "/f.bin";
  for (auto _ : state) {
    auto r = corvane::test::run_process(
        {"/usr/bin/curl", "-s", "--noproxy", "*", "-o", out, server.base_url() + "/f"});
    if (r.exit_code != 0) state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_CurlDownload)->Arg(1024)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Upload(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
  RawServer server([](const corvane::test::RawRequest&) { return RawServer::response("ok"); });
  const std::string body(size, 'u');
  for (auto _ : state) {
    TransferClient client;
    client.open("POST", server.base_url() + "/up");
    client.add_header("Content-Type", "application/octet-stream");
    client.send(body, [](std::int32_t, std::int64_t&, std::int64_t&, std::int64_t&) {}, 0);
    benchmark::DoNotOptimize(client.response_text());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_Upload)->Arg(15)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlUpload(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
  RawServer server([](const corvane::test::RawRequest&) { return RawServer::response("ok"); });
  corvane::test::TempDir dir;
  const std::string file = dir.str() + "/up.bin";
  corvane::test::write_file(file, std::string(size, 'u'));
  for (auto _ : state) {
    auto r = corvane::test::run_process({"/usr/bin/curl", "-s", "--noproxy", "*", "-H",
                                         "Expect:", "-H", "Content-Type: application/octet-stream",
                                         "--data-binary", "@" + file, server.base_url() + "/up"});
    if (r.exit_code != 0) state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_CurlUpload)->Arg(15)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
