// The conflict dialog's line diff over two 10,000-line files with scattered
// changes (one line in 50 changed, some removed or added): it must stay well
// under 100 ms so that "Compare..." opens at once.

#include <benchmark/benchmark.h>

#include <string>

#include "sync/line_diff.h"

namespace ravelo {
namespace {

void BM_DiffScatteredChanges(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  std::string left;
  std::string right;
  for (int i = 0; i < lines; ++i) {
    const std::string line = "  <p class=\"item\">line " + std::to_string(i) + " of the page</p>\n";
    left += line;
    if (i % 97 == 13) continue;  // removed on the right
    if (i % 50 == 7)
      right += "  <p>edited " + std::to_string(i) + "</p>\n";
    else
      right += line;
    if (i % 131 == 3) right += "  <p>new line</p>\n";  // added on the right
  }
  const auto a = SplitLines(left);
  const auto b = SplitLines(right);
  for (auto _ : state) benchmark::DoNotOptimize(DiffLines(a, b));
}
BENCHMARK(BM_DiffScatteredChanges)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ravelo
