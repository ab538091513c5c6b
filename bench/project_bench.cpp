// Opening and saving a project of 100,000 synchronized files in 1,000
// folders (goal: under 300 ms each), and the memory a loaded file node
// takes: the heap in use and the resident set, before and after loading,
// per file.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/queued_main_thread.h"
#include "project/project.h"
#include "support/temp_dir.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo {
namespace {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 100;

long ResidentBytes() {
  long pages = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%*s %ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  return pages * ::sysconf(_SC_PAGESIZE);
}

// A temporary local root holding a saved project of the bench's tree, with
// the settings store pointed into it; the main thread installed.
class TBenchSite {
 public:
  TBenchSite() {
    ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    SetMainThread(&main_thread_);
    auto project = TProject::Create("ftp.example.org", "me", "secret", "/www", file_name_);
    for (int f = 0; f < kFolders; ++f) {
      auto& folder = project->Root().MakeChild<TSynFolder>("folder" + std::to_string(f));
      for (int i = 0; i < kFilesPerFolder; ++i)
        folder.MakeChild<TSynFile>("page-" + std::to_string(i) + ".html", 45000.0 + i, 45100.0 + f);
    }
    ok_ = static_cast<bool>(project->Save());
  }
  ~TBenchSite() { SetMainThread(nullptr); }

  bool Ok() const { return ok_; }
  const std::string& FileName() const { return file_name_; }

 private:
  TQueuedMainThread main_thread_;
  test::TTempDir dir_;
  const std::string file_name_ = (dir_ / "site/site.rvlp").string();
  bool ok_ = false;
};

void BM_ProjectLoad100k(benchmark::State& state) {
  TBenchSite site;
  if (!site.Ok()) {
    state.SkipWithError("the project could not be saved");
    return;
  }
  double heap_per_file = 0;
  double resident_per_file = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ::malloc_trim(0);
    const auto heap_before = ::mallinfo2().uordblks;
    const long resident_before = ResidentBytes();
    state.ResumeTiming();
    auto project = TProject::CreateFromFile(site.FileName());
    state.PauseTiming();
    heap_per_file =
        static_cast<double>(::mallinfo2().uordblks - heap_before) / (kFolders * kFilesPerFolder);
    resident_per_file =
        static_cast<double>(ResidentBytes() - resident_before) / (kFolders * kFilesPerFolder);
    project.reset();
    state.ResumeTiming();
  }
  state.counters["heap_bytes_per_file"] = heap_per_file;
  state.counters["resident_bytes_per_file"] = resident_per_file;
}
BENCHMARK(BM_ProjectLoad100k)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ProjectSave100k(benchmark::State& state) {
  TBenchSite site;
  if (!site.Ok()) {
    state.SkipWithError("the project could not be saved");
    return;
  }
  auto project = TProject::CreateFromFile(site.FileName());
  for (auto _ : state) {
    if (!project->Save()) state.SkipWithError("the save failed");
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(site.FileName())));
}
BENCHMARK(BM_ProjectSave100k)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace ravelo
