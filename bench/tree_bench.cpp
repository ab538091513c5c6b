// Name lookups in big folders: a merge of a folder of 50,000 files looks up
// every name in the tree and in the listing, so both must stay linear.
// Compare each benchmark at 5,000 and 50,000 names: the cost per name may
// grow a little as the nodes outgrow the caches, but not tenfold.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "model/branch.h"
#include "model/leaf.h"
#include "model/time_info.h"
#include "platform/queued_main_thread.h"

namespace ravelo {
namespace {

template <class Base>
class TBenchNode : public Base {
 public:
  TBenchNode(TBranch* parent, std::string_view name) : Base(parent, name) {}
  TNodeState CalcState() override { return nsUnknown; }
  std::string GetSizeText() override { return {}; }
  void ReadLocal() override {}
  void ReadRemote(IServer&) override {}
  bool IsLocal() const override { return true; }
  bool IsRemote() const override { return true; }
  void ForgetLocal() override {}
  void ForgetRemote() override {}
  void ClearLocal() override {}
  void ClearRemote() override {}
  std::int64_t GetTransferSize() override { return 0; }
  void DoOpen(IServer&) override {}
  void DoSynchronize(IServer&) override {}
  void DoRename(IServer&, const std::string&) override {}
  void DoDelete(IServer&) override {}
  void DoCreateLocal(IServer&) override {}
  void DoClearCache(IServer&, bool) override {}
  void DoUploadFresh(IServer&) override {}
};

std::vector<std::string> Names(int count) {
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) names.push_back("Photo_" + std::to_string(i) + ".JPG");
  return names;
}

void BM_AddAndFindChildren(benchmark::State& state) {
  TQueuedMainThread main_thread;
  SetMainThread(&main_thread);
  const auto names = Names(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto root = std::make_unique<TBenchNode<TBranch>>(nullptr, "");
    // Each name is looked up first, as a merge does, then added.
    for (const auto& name : names)
      if (root->FindChild(name) == nullptr) root->MakeChild<TBenchNode<TLeaf>>(name);
    for (const auto& name : names) benchmark::DoNotOptimize(root->FindChild(name));
    TNode::ReleaseRoot(std::move(root));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  SetMainThread(nullptr);
}
BENCHMARK(BM_AddAndFindChildren)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_TimeInfoAddAndFind(benchmark::State& state) {
  const auto names = Names(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TTimeInfo info;
    for (const auto& name : names) info.AddFile(name).SetInfo(1, 2.0);
    for (const auto& name : names) benchmark::DoNotOptimize(info.FindFile(name));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TimeInfoAddAndFind)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ravelo
