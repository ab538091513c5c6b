// Opening a big folder: a server listing and a local listing of 50,000 files
// each, half the names shared, merged into a new folder node. Every child and
// listing lookup goes through an index, so the merge stays linear.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "device/syn_device.h"
#include "model/time_info.h"
#include "platform/launcher.h"
#include "platform/queued_main_thread.h"
#include "settings/extensions.h"
#include "sync/syn_folder.h"
#include "sync/sync_project.h"

namespace ravelo {
namespace {

// The project as the merges see it: they ask its device which names the
// local cache keeps for itself.
class TBenchProject : public ISyncProject {
 public:
  explicit TBenchProject(ISynDevice& device) : device_(device) { SetSyncProject(this); }
  ~TBenchProject() override { SetSyncProject(nullptr); }
  TBenchProject(const TBenchProject&) = delete;
  TBenchProject& operator=(const TBenchProject&) = delete;

  std::string LocalRoot() const override { return "/nonexistent"; }
  const TExtensions& Extensions() const override { return extensions_; }
  ISynDevice& Device() override { return device_; }
  ILauncher& Launcher() override { return launcher_; }
  TSiteSettings Site() const override { return {}; }
  void RememberTlsOffered() override {}

 private:
  ISynDevice& device_;
  TExtensions extensions_;
  TSpawnLauncher launcher_;
};

void BM_OpenFolder50k(benchmark::State& state) {
  TQueuedMainThread main_thread;
  SetMainThread(&main_thread);
  constexpr int kFiles = 50000;
  TTimeInfo remote;
  TTimeInfo local;
  for (int i = 0; i < kFiles; ++i)
    remote.AddFile("Photo_" + std::to_string(i) + ".JPG").SetInfo(1000 + i, 45000.5);
  // The second half of the remote names, and as many local-only names.
  for (int i = kFiles / 2; i < kFiles + kFiles / 2; ++i)
    local.AddFile("Photo_" + std::to_string(i) + ".JPG").SetInfo(1000 + i, 45001.25);
  for (auto _ : state) {
    auto root = std::make_unique<TSynFolder>(nullptr, "");
    auto device = std::make_unique<TSynDevice>(*root, "/nonexistent", "nonexistent.rvlp");
    TBenchProject project(*device);
    root->MergeRemoteListing(remote);
    root->MergeLocalListing(local);
    state.PauseTiming();
    if (root->ChildCount() != kFiles + kFiles / 2) state.SkipWithError("wrong child count");
    device.reset();
    TNode::ReleaseRoot(std::move(root));
    state.ResumeTiming();
  }
  SetMainThread(nullptr);
}
BENCHMARK(BM_OpenFolder50k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ravelo
