// Editor save to merge: how long after an editor saves a file in a watched
// folder (a new file written beside the old one and renamed over it) the
// folder has been listed and merged again, so that the file shows its new
// local side. Most of it is the watcher's settle time; with servers, the
// upload of a "Fresh" file starts right after the merge.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "device/syn_device.h"
#include "platform/queued_main_thread.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo {
namespace {

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

void BM_SaveToMerge(benchmark::State& state) {
  TQueuedMainThread main_thread;
  SetMainThread(&main_thread);
  std::string pattern = (std::filesystem::temp_directory_path() / "ravelo-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::filesystem::path dir = pattern;
  WriteFile(dir / "page.html", "0");
  auto root = std::make_unique<TSynFolder>(nullptr, "");
  auto device = std::make_unique<TSynDevice>(*root, dir.string(), "bench.rvlp");
  root->MarkLocalPresent();
  root->MergeLocalListing(*device->ListLocal(*root));
  auto& page = dynamic_cast<TSynFile&>(*root->FindChild("page.html"));
  TFileWatcher& files = device->FileWatcher();
  std::int64_t size = 1;
  for (auto _ : state) {
    ++size;
    WriteFile(dir / ".page.html.swp", std::string(static_cast<size_t>(size), 'x'));
    std::filesystem::rename(dir / ".page.html.swp", dir / "page.html");
    if (!main_thread.WaitUntil([&] { return page.LocalSize() == size; }, std::chrono::seconds(10)))
      state.SkipWithError("the save was not merged");
    state.PauseTiming();
    main_thread.WaitUntil([&] { return files.IsQuiet(); }, std::chrono::seconds(10));
    state.ResumeTiming();
  }
  device.reset();
  TNode::ReleaseRoot(std::move(root));
  std::filesystem::remove_all(dir);
  SetMainThread(nullptr);
}
BENCHMARK(BM_SaveToMerge)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

}  // namespace
}  // namespace ravelo
