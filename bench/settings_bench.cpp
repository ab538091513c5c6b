#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "settings/extensions.h"
#include "settings/settings_format.h"
#include "settings/settings_store.h"

namespace {

// A folder under /tmp for the store's file, removed at the end.
struct TBenchDir {
  TBenchDir() {
    char pattern[] = "/tmp/ravelo-bench-XXXXXX";
    path = ::mkdtemp(pattern);
  }
  ~TBenchDir() { std::filesystem::remove_all(path); }
  std::filesystem::path path;
};

std::string TypicalText() {
  ravelo::TSettingsTree tree;
  tree.WriteBool("\\Software\\Ravelo", "Project Panel", true);
  tree.WriteString("\\Software\\Ravelo\\Projects", "", "/home/me/site\n/home/me/other\n");
  for (const auto& item : ravelo::TExtensions().ItemList()) {
    const auto key = "\\Software\\Ravelo\\Extensions\\" + item.Extension;
    tree.WriteByte(key, "TransferType", item.TransferType);
    tree.WriteByte(key, "OpenType", item.OpenType);
    tree.WriteString(key, "Command", item.Command);
  }
  return ravelo::FormatSettings(tree);
}

// Reading the settings file the program keeps: the cost of every re-read.
void BM_ParseTypicalSettings(benchmark::State& state) {
  const std::string text = TypicalText();
  for (auto _ : state) benchmark::DoNotOptimize(ravelo::ParseSettings(text, "settings"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseTypicalSettings);

// Loading the extension list at project set-up from an unchanged file.
void BM_LoadExtensions(benchmark::State& state) {
  TBenchDir dir;
  ravelo::TSettingsStore store(dir.path / "settings");
  ravelo::TExtensions extensions;
  extensions.Save(store);
  for (auto _ : state) extensions.Load(store);
}
BENCHMARK(BM_LoadExtensions);

// One write-through change: lock, re-read, write, flush to disk, rename.
void BM_WriteOneValue(benchmark::State& state) {
  TBenchDir dir;
  ravelo::TSettingsStore store(dir.path / "settings");
  ravelo::TExtensions().Save(store);
  bool flag = false;
  for (auto _ : state) store.WriteBool("\\Software\\Ravelo", "Project Panel", flag = !flag);
}
BENCHMARK(BM_WriteOneValue)->Unit(benchmark::kMicrosecond);

}  // namespace
