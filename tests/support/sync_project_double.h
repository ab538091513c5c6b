#pragma once

// The project as the synchronized nodes see it, for tests: a local root, the
// built-in extension settings, a device, a launcher that records what it
// is asked to start, and the site a server connects to (SetSite). Installs itself for its lifetime.
// Header only; link ravelo_sync.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/launcher.h"
#include "settings/extensions.h"
#include "sync/device_interface.h"
#include "sync/sync_project.h"

namespace ravelo::test {

class TRecordingLauncher : public ILauncher {
 public:
  bool Launch(const std::vector<std::string>& argv) override {
    std::lock_guard lock(mutex_);
    calls_.push_back(argv);
    return true;
  }
  std::vector<std::vector<std::string>> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::vector<std::string>> calls_;  // mutex_
};

class TTestProject : public ISyncProject {
 public:
  // device: not owned; must outlive the project double.
  TTestProject(std::string local_root, ISynDevice& device)
      : local_root_(std::move(local_root)), device_(device) {
    SetSyncProject(this);
  }
  ~TTestProject() override { SetSyncProject(nullptr); }
  TTestProject(const TTestProject&) = delete;
  TTestProject& operator=(const TTestProject&) = delete;

  std::string LocalRoot() const override { return local_root_; }
  const TExtensions& Extensions() const override { return extensions; }
  ISynDevice& Device() override { return device_; }
  ILauncher& Launcher() override { return launcher; }
  TSiteSettings Site() const override {
    std::lock_guard lock(site_mutex_);
    return site_;
  }
  void RememberTlsOffered() override {
    std::lock_guard lock(site_mutex_);
    site_.TlsOffered = true;
  }
  void SetSite(TSiteSettings site) {
    std::lock_guard lock(site_mutex_);
    site_ = std::move(site);
  }

  TExtensions extensions;
  TRecordingLauncher launcher;

 private:
  const std::string local_root_;
  ISynDevice& device_;
  mutable std::mutex site_mutex_;
  TSiteSettings site_;  // site_mutex_
};

}  // namespace ravelo::test
