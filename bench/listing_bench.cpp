// Parsing a directory's files page: 10,000 files with 100 sub-directories, and the same
// page ten times larger. Each sub-directory holds 20 files, the rest are the directory's
// own. The block removal is also measured alone, in one pass and one text at a time.
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "service/listing.h"
#include "service/regex_matcher.h"
#include "tests/support/gbk.h"

namespace corvane {
namespace {

constexpr int FILES_PER_SUBDIRECTORY = 20;

std::string file_row(int n) {
  const std::string id = std::to_string(n);
  return "<li><img src='/i/f.gif' id=w_12_" + id +
         " onclick='xz(this)'><a href='/note/fd.htm?http://dl.corvane.example/d/12/" + id +
         "/f" + id + ".txt' title='" + test::gbk("上传时间:") + "2024-05-01 12:34:56' class=wj>" +
         test::gbk("文件") + id + ".txt " + std::to_string(n % 9000 + 1) + "KB</a></li>";
}

// A files page with `files` files in all, one sub-directory per 100 files.
std::string files_page(int files) {
  const int subdirectories = files / 100;
  std::string rows;
  int n = 0;
  for (int s = 0; s < subdirectories; ++s) {
    const std::string name = test::gbk("子目录") + std::to_string(s);
    rows += "<li><img src='/i/d.gif' alt='" + name + "'><ul id='z_12_" + name + "'>";
    for (int k = 0; k < FILES_PER_SUBDIRECTORY; ++k) rows += file_row(n++);
    rows += "</ul></li>";
  }
  while (n < files) rows += file_row(n++);
  return "<html><script>Q.f_s='cv-Up3.corvane.example';Q.sc(12,0,'K7x');</script>"
         "<input type=\"hidden\" id=\"Yz1\" name=\"Yz1\" value=\"" +
         rows + "\"/></html>";
}

void BM_ParseFileList(benchmark::State& state) {
  const std::string page = files_page(static_cast<int>(state.range(0)));
  std::size_t rows = 0;
  for (auto _ : state) {
    FileListing f = parse_file_list(page, "12", "corvane");
    rows = f.ids.size();
    benchmark::DoNotOptimize(f);
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["page_MB"] = static_cast<double>(page.size()) / 1e6;
}
BENCHMARK(BM_ParseFileList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

struct Blocks {
  std::string list;
  std::vector<SubdirectoryBlock> blocks;
};

Blocks blocks_of(int files) {
  const std::string page = files_page(files);
  Blocks b;
  const std::string left = "value=\"<li><img ";
  const std::size_t at = page.find(left) + left.size();
  b.list = page.substr(at, page.rfind("\"/>") - at);
  // As the parser does: the pattern runs up to the last block's end only.
  const std::size_t blocks_end = b.list.rfind("</ul>") + 5;
  RegexMatcher m;
  m.create(SUBDIRECTORY_PATTERN, std::string_view(b.list).substr(0, blocks_end));
  for (int k = 1; k <= m.count(); ++k)
    b.blocks.push_back({m.match_value(k), m.submatch(k, 1), m.submatch(k, 2)});
  return b;
}

void BM_RemoveBlocksOnePass(benchmark::State& state) {
  const Blocks b = blocks_of(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(remove_subdirectory_blocks(b.list, b.blocks));
}
BENCHMARK(BM_RemoveBlocksOnePass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_RemoveBlocksOneByOne(benchmark::State& state) {
  const Blocks b = blocks_of(static_cast<int>(state.range(0)));
  std::vector<std::string_view> texts;
  for (const auto& block : b.blocks) texts.push_back(block.body);
  for (const auto& block : b.blocks) texts.push_back(block.head);
  for (auto _ : state) benchmark::DoNotOptimize(remove_each_in_order(b.list, texts));
}
// Quadratic: one iteration is enough to show it (about ten seconds for the large page).
BENCHMARK(BM_RemoveBlocksOneByOne)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvane

BENCHMARK_MAIN();
