#pragma once

// The real device over a tree whose local root is a temporary folder, its
// folder watcher running, the server double granted to every waiter and a
// recording connection watcher. The test's thread is the main thread.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <memory>
#include <string>

#include "device/syn_device.h"
#include "platform/file_time.h"
#include "support/connection_watcher_double.h"
#include "support/server_double.h"
#include "support/sync_project_double.h"
#include "support/temp_dir.h"
#include "support/test_main_loop.h"
#include "support/tree_doubles.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo::test {

class TDeviceTest : public ::testing::Test {
 protected:
  explicit TDeviceTest(TWatchOptions options = {})
      : device(std::make_unique<TSynDevice>(*root, dir.PathString(), "site.rvlp",
                                            TServer::DefaultClientSettings(), options)) {
    device->SetWatcher(watcher);
  }
  ~TDeviceTest() override {
    EXPECT_TRUE(WaitForWaiters(loop));
    device.reset();
    TNode::ReleaseRoot(std::move(root));
  }

  TFileWatcher& Files() { return device->FileWatcher(); }
  // Serves the main thread until the watcher has handed on `reports`
  // changes in all and has nothing more to hand on.
  bool ReportedAndQuiet(int reports = 1) {
    return loop.RunUntil([&] { return Files().Reports() >= reports && Files().IsQuiet(); });
  }
  // A local file with the given content and modification time (seconds).
  void CreateFile(const std::string& relative, const std::string& content, std::time_t time) {
    const auto path = dir.CreateFile(relative, content);
    const timespec times[2] = {{time, 0}, {time, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  static TDateTime DateTime(std::time_t seconds) {
    return FileTimeToDateTime(timespec{seconds, 0});
  }
  // A file of folder synchronized before, both sides read: local
  // (local_time, size) as recorded unless the disk says otherwise.
  TSynFile& SyncedFile(TSynFolder& folder, const std::string& name, std::time_t local_time,
                       std::int64_t size, TDateTime remote_time = 45000) {
    TSynFile& file = folder.MakeChild<TSynFile>(name, DateTime(local_time), remote_time);
    file.SetLocalTime(DateTime(local_time));
    file.SetLocalSize(size);
    file.SetRemoteTime(remote_time);
    file.SetRemoteSize(size);
    return file;
  }

  TTestMainLoop loop;
  TTempDir dir;
  std::unique_ptr<TSynFolder> root = std::make_unique<TSynFolder>(nullptr, "");
  std::unique_ptr<TSynDevice> device;
  TTestProject project{dir.PathString(), *device};
  std::shared_ptr<TServerDouble> server = std::make_shared<TServerDouble>(dir.PathString());
  TGrantingAssigner assigner{server};
  std::shared_ptr<TRecordingConnectionWatcher> watcher =
      std::make_shared<TRecordingConnectionWatcher>();
  TSynFolder& docs = root->MakeChild<TSynFolder>("docs");
};

}  // namespace ravelo::test
