#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "net/ftp_list_parser.h"

namespace {

std::vector<std::string> UnixListing(int count) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(count) + 1);
  lines.push_back("total " + std::to_string(count * 8));
  for (int i = 0; i < count; ++i) {
    std::string line = i % 10 == 0 ? "drwxr-xr-x   2 " : "-rw-r--r--   1 ";
    line += "webuser  www-data ";
    line += std::to_string(1000 + i * 37);
    line += ' ';
    line += kMonths[i % 12];
    line += ' ';
    line += std::to_string(1 + i % 28);
    line += i % 3 == 0 ? "  2019 " : " 14:30 ";
    line += "file number " + std::to_string(i) + ".html";
    lines.push_back(std::move(line));
  }
  return lines;
}

// Parsing a listing of 100,000 Unix lines into items.
void BM_ParseUnixListing100k(benchmark::State& state) {
  const std::vector<std::string> lines = UnixListing(100000);
  const ravelo::TFtpDateTimeParts today = ravelo::FtpToday();
  for (auto _ : state) {
    const ravelo::TFtpListItems items = ravelo::LoadFtpList(lines, today);
    if (items.Count() != 100000) state.SkipWithError("lines were lost");
    benchmark::DoNotOptimize(items.Count());
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_ParseUnixListing100k)->Unit(benchmark::kMillisecond);

}  // namespace
