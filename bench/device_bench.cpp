// Editor save to merge, and to upload start: how long after an editor saves
// a file in a watched folder (a new file written beside the old one and
// renamed over it) the folder has been listed and merged again, so that the
// file shows its new local side; and, with "Auto Upload Fresh" on and the
// device connected to a real FTP server on loopback, how long until the
// file's upload has started moving bytes. Most of either is the watcher's
// settle time. Goal for the upload: under 250 ms.

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "device/syn_device.h"
#include "model/waiter.h"
#include "platform/queued_main_thread.h"
#include "support/ftp_test_server.h"
#include "support/sync_project_double.h"
#include "support/temp_dir.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo {
namespace {

using test::TFtpTestServer;

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// A project whose local root holds page.html, its device watching the
// root. With a server: the site is the "www" folder of a real FTP server,
// the device is connected and the server assigner, and page.html has been
// downloaded, so that an edit makes it "Fresh".
class TBenchProject {
 public:
  explicit TBenchProject(bool with_server) {
    SetMainThread(&main_thread_);
    if (with_server) {
      ftp_ = std::make_unique<TFtpTestServer>();
      ftp_->Home().CreateFile("www/page.html", "0");
      project_->SetSite(
          {ftp_->HostPort(), TFtpTestServer::kUser, TFtpTestServer::kPassword, "/www"});
      SetServerAssigner(device_.get());
      device_->Connect();
      // Connected, and the root listed (its open follows the connect).
      ok_ = Wait([&] { return root_->RemoteListed() && TWaiter::LiveCount() == 0; });
      TNode* page = root_->FindChild("page.html");
      if (!ok_ || page == nullptr) {
        ok_ = false;
        return;
      }
      page->Open();
    } else {
      WriteFile(dir_ / "page.html", "0");
      root_->MarkLocalPresent();
      root_->MergeLocalListing(*device_->ListLocal(*root_));
    }
    ok_ = Wait([&] {
      auto* page = dynamic_cast<TSynFile*>(root_->FindChild("page.html"));
      return page != nullptr && (!with_server || page->GetState() == nsSynchronized) && Settled();
    });
  }
  ~TBenchProject() {
    Wait([] { return TWaiter::LiveCount() == 0; });
    device_.reset();
    project_.reset();
    TNode::ReleaseRoot(std::move(root_));
    SetMainThread(nullptr);
  }
  TBenchProject(const TBenchProject&) = delete;
  TBenchProject& operator=(const TBenchProject&) = delete;

  bool Ok() const { return ok_; }
  TSynFile& Page() { return dynamic_cast<TSynFile&>(*root_->FindChild("page.html")); }
  TSynDevice& Device() { return *device_; }
  // Saves page.html with the given size as an editor does.
  void Save(std::int64_t size) {
    WriteFile(dir_ / ".page.html.swp", std::string(static_cast<size_t>(size), 'x'));
    std::filesystem::rename(dir_ / ".page.html.swp", dir_ / "page.html");
  }
  bool Wait(const std::function<bool()>& done) {
    return main_thread_.WaitUntil(done, std::chrono::seconds(10));
  }
  // Nothing to hand on, no operation running.
  bool Settled() { return device_->FileWatcher().IsQuiet() && TWaiter::LiveCount() == 0; }

 private:
  TQueuedMainThread main_thread_;
  test::TTempDir dir_;
  std::unique_ptr<TFtpTestServer> ftp_;
  std::unique_ptr<TSynFolder> root_ = std::make_unique<TSynFolder>(nullptr, "");
  std::unique_ptr<TSynDevice> device_ =
      std::make_unique<TSynDevice>(*root_, dir_.PathString(), "bench.rvlp");
  std::unique_ptr<test::TTestProject> project_ =
      std::make_unique<test::TTestProject>(dir_.PathString(), *device_);
  bool ok_ = false;
};

void BM_SaveToMerge(benchmark::State& state) {
  TBenchProject project(false);
  if (!project.Ok()) {
    state.SkipWithError("the project did not start");
    return;
  }
  TSynFile& page = project.Page();
  std::int64_t size = 1;
  for (auto _ : state) {
    project.Save(++size);
    if (!project.Wait([&] { return page.LocalSize() == size; }))
      state.SkipWithError("the save was not merged");
    state.PauseTiming();
    project.Wait([&] { return project.Settled(); });
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SaveToMerge)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

void BM_SaveToUploadStart(benchmark::State& state) {
  TBenchProject project(true);
  if (!project.Ok()) {
    state.SkipWithError("the project did not connect");
    return;
  }
  TSynFile& page = project.Page();
  const IServerControl& server = project.Device().AsciiServer();  // ".html" travels as text
  std::int64_t size = 1;
  for (auto _ : state) {
    const std::int64_t sent = server.GetTransferred();
    project.Save(++size);
    if (!project.Wait([&] { return server.GetTransferred() > sent; }))
      state.SkipWithError("the save was not uploaded");
    state.PauseTiming();
    if (!project.Wait([&] { return page.GetState() == nsSynchronized && project.Settled(); }))
      state.SkipWithError("the upload did not end");
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SaveToUploadStart)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

}  // namespace
}  // namespace ravelo
