#pragma once

// A project for the sync tests: a local root in a temporary folder, the real
// device, the server double granted to every waiter, and a recording display
// on every node. Link ravelo_device.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>

#include "device/syn_device.h"
#include "model/tree_errors.h"
#include "platform/file_time.h"
#include "support/server_double.h"
#include "support/sync_project_double.h"
#include "support/temp_dir.h"
#include "support/test_main_loop.h"
#include "support/tree_doubles.h"
#include "sync/files_errors.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo::test {

class TSyncTest : public ::testing::Test {
 protected:
  TSyncTest() { root->SetDisplay(display); }
  ~TSyncTest() override {
    EXPECT_TRUE(WaitForWaiters(loop));
    device.reset();
    TNode::ReleaseRoot(std::move(root));
  }

  // Starts the operation and serves the main thread until every waiter ended.
  template <class Start>
  void Run(Start start) {
    start();
    ASSERT_TRUE(WaitForWaiters(loop));
  }
  void Open(TNode& node) {
    Run([&] { node.Open(); });
  }

  // The test's thread is the main thread: a node it finds stays alive until
  // it next serves hand-overs.
  TSynFolder& Folder(const std::string& path) {
    TSynFolder* folder = root.get();
    for (size_t start = 0; start < path.size();) {
      const size_t end = std::min(path.find('/', start), path.size());
      folder = folder->FolderByName(path.substr(start, end - start)).Get();
      start = end + 1;
    }
    return *folder;
  }
  TSynFile& File(const std::string& path) {
    const auto slash = path.rfind('/');
    TSynFolder& folder = slash == std::string::npos ? *root : Folder(path.substr(0, slash));
    auto* file = dynamic_cast<TSynFile*>(folder.FindChild(path.substr(slash + 1)));
    if (file == nullptr) throw std::runtime_error("no file " + path);
    return *file;
  }
  bool Has(const std::string& path) {
    try {
      const auto slash = path.rfind('/');
      TSynFolder& folder = slash == std::string::npos ? *root : Folder(path.substr(0, slash));
      return folder.FindChild(path.substr(slash + 1)) != nullptr;
    } catch (const std::exception&) {
      return false;
    }
  }
  // Sets a local file's modification time to seconds + nanoseconds.
  void SetFileTime(const std::string& relative, std::time_t seconds, long nanoseconds = 0) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (site / relative).c_str(), times, 0), 0);
  }
  static TDateTime DateTime(std::time_t seconds, long nanoseconds = 0) {
    return FileTimeToDateTime(timespec{seconds, nanoseconds});
  }
  std::vector<std::string> Failures() const {
    std::vector<std::string> failures;
    for (const auto& event : display->log.Events())
      if (event.starts_with("failed")) failures.push_back(event);
    return failures;
  }

  TTestMainLoop loop;
  TTempDir dir;
  // The local root lies one level down, so that a path escaping it shows.
  const std::filesystem::path site = dir.CreateDir("site");
  const std::string local_root = site.string();
  std::unique_ptr<TSynFolder> root = std::make_unique<TSynFolder>(nullptr, "");
  std::unique_ptr<TSynDevice> device = std::make_unique<TSynDevice>(*root, local_root, "site.rvlp");
  TTestProject project{local_root, *device};
  std::shared_ptr<TServerDouble> server = std::make_shared<TServerDouble>(local_root);
  TGrantingAssigner assigner{server};
  std::shared_ptr<TRecordingDisplay> display = std::make_shared<TRecordingDisplay>();
};

}  // namespace ravelo::test
