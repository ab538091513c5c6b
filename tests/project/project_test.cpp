#include "project/project.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "device/syn_device.h"
#include "model/children_iterator.h"
#include "model/server_assigner.h"
#include "project/project_errors.h"
#include "project/project_stream.h"
#include "settings/settings_store.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/test_main_loop.h"
#include "sync/syn_file.h"
#include "sync/syn_folder.h"

namespace ravelo {
namespace {

using namespace std::string_literals;

// The encodings, for files written by hand.
std::string Int(std::int32_t value) {
  TProjectWriter stream;
  stream.WriteInt32(value);
  return stream.Bytes();
}
std::string Str(const std::string& text) {
  return Int(static_cast<std::int32_t>(text.size())) + text;
}
std::string Time(double value) {
  TProjectWriter stream;
  stream.WriteDouble(value);
  return stream.Bytes();
}
std::string Header() {
  TProjectWriter stream;
  TProjectHeader("host", "login", "password", "/www").WriteTo(stream);
  return stream.Bytes();
}
std::string Record(const std::string& path) {
  return Str(path) + Time(1.5) + Time(2.5);
}

// The loaded tree, depth-first: folders end in "\", files carry their times.
void List(TNode& folder, std::vector<std::string>& nodes) {
  for (auto it = folder.GetChildren(); !it->Done();) {
    TNode& child = it->Next();
    if (auto* file = dynamic_cast<TSynFile*>(&child)) {
      nodes.push_back(child.GetPath() + " " + std::to_string(file->SyncedLocalTime()) + " " +
                      std::to_string(file->SyncedRemoteTime()));
    } else {
      nodes.push_back(child.GetPath() + "\\");
      List(child, nodes);
    }
  }
}
std::vector<std::string> Nodes(TProject& project) {
  std::vector<std::string> nodes;
  List(project.Root(), nodes);
  return nodes;
}

class TProjectTest : public ::testing::Test {
 protected:
  std::unique_ptr<TProject> NewProject() {
    return TProject::Create("host", "login", "password", "www/", file_name);
  }
  std::unique_ptr<TProject> Load() { return TProject::CreateFromFile(file_name); }

  test::TTestMainLoop loop;
  test::TTempDir dir;
  test::TScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
  const std::string file_name = (dir / "site/site.rvlp").string();
};

TEST_F(TProjectTest, SynchronizedFilesAndTheFoldersOnTheirWayRoundTrip) {
  auto project = NewProject();
  EXPECT_EQ(project->LocalRoot(), (dir / "site").string());
  ASSERT_TRUE(project->Save());  // makes the local root
  TProjectWriter empty;
  TProjectHeader header("host", "login", "password", "/www");
  header.Connected = false;  // as the device is
  header.WriteTo(empty);
  EXPECT_EQ(dir.ReadFile("site/site.rvlp"), empty.Bytes() + Int(0));

  TSynFolder& root = project->Root();
  root.MakeChild<TSynFile>("top.txt", 1.25, 2.25);
  auto& a = root.MakeChild<TSynFolder>("a");
  a.MakeChild<TSynFile>("never synchronized.txt");
  a.MakeChild<TSynFolder>("empty");
  a.MakeChild<TSynFolder>("b").MakeChild<TSynFile>("\xC3\xA9t\xC3\xA9.html", 3.5, -4.5);
  a.MakeChild<TSynFile>("x.txt", 5.0, 6.0);
  project->Device().SetAutoUploadFresh(false);
  std::filesystem::permissions(file_name, std::filesystem::perms(0644));
  ASSERT_TRUE(project->Save());
  project.reset();

  EXPECT_EQ(std::filesystem::status(file_name).permissions(), std::filesystem::perms(0600));
  EXPECT_FALSE(std::filesystem::exists(file_name + ".new"));
  auto loaded = Load();
  EXPECT_EQ(Nodes(*loaded),
            (std::vector<std::string>{"top.txt 1.250000 2.250000", "a\\", "a\\b\\",
                                      "a\\b\\\xC3\xA9t\xC3\xA9.html 3.500000 -4.500000",
                                      "a\\x.txt 5.000000 6.000000"}));
  EXPECT_FALSE(loaded->Device().AutoUploadFresh());
  EXPECT_FALSE(loaded->Connected());
  EXPECT_EQ(loaded->RemotePath(), "/www");
}

TEST_F(TProjectTest, RecordsOfOneFolderRebuildOneFolder) {
  dir.CreateFile("site/site.rvlp",
                 Header() + Int(3) + Record("a\\x.txt") + Record("c.txt") + Record("A\\y.txt"));
  auto project = Load();
  EXPECT_EQ(Nodes(*project),
            (std::vector<std::string>{"a\\", "a\\x.txt 1.500000 2.500000",
                                      "a\\y.txt 1.500000 2.500000", "c.txt 1.500000 2.500000"}));
  // Loaded nodes report to the device like nodes made later.
  EXPECT_EQ(project->Root().FindChild("c.txt")->PresenceWatcher().get(),
            static_cast<IPresenceWatcher*>(&project->Device()));
}

TEST_F(TProjectTest, ADamagedFileIsRefusedWhole) {
  const std::string nan = Time(std::numeric_limits<double>::quiet_NaN());
  const struct {
    std::string bytes;
    std::string error;
  } cases[] = {
      {"", "End Of Stream Reached Unexpectedly"},
      {Int(0) + Int(0), "Data In Stream Is Not Recognized"},
      {Int(std::numeric_limits<std::int32_t>::max()) + std::string(96, '\0'),
       "End Of Stream Reached Unexpectedly"},
      {Header().substr(0, 20), "End Of Stream Reached Unexpectedly"},
      // The block is shorter than its fields.
      {Int(6) + Str("ab") + Int(0), "End Of Stream Reached Unexpectedly"},
      {Header(), "End Of Stream Reached Unexpectedly"},
      {Header() + Int(-1), "Data In Stream Is Not Recognized"},
      {Header() + Int(std::numeric_limits<std::int32_t>::max()) + std::string(60, '\x01'),
       "End Of Stream Reached Unexpectedly"},
      {Header() + Int(1) + Int(-3) + std::string(40, 'x'), "End Of Stream Reached Unexpectedly"},
      {Header() + Int(1) + Int(std::numeric_limits<std::int32_t>::max()) + std::string(40, 'x'),
       "End Of Stream Reached Unexpectedly"},
      {Header() + Int(2) + Record("a.txt") + Str("b.txt") + Time(1),
       "End Of Stream Reached Unexpectedly"},
      {Header() + Int(1) + Str("a.txt") + nan + Time(1), "Data In Stream Is Not Recognized"},
      {Header() + Int(1) + Record("a.txt") + "x", "Data In Stream Is Not Recognized"},
      {Header() + Int(1) + Str("") + std::string(20, '\0'),
       "Can't Create SynFile From String \"\""},
      {Header() + Int(1) + Record("a\\"), "Can't Create SynFile From String \"a\\\""},
      {Header() + Int(1) + Record("a\\\\x"), "Can't Create An Unnamed SynNode"},
      {Header() + Int(1) + Record("a\\..\\x"), "Can't Create SynFile From String \"a\\..\\x\""},
      {Header() + Int(1) + Record("a/b"), "Can't Create SynFile From String \"a/b\""},
      {Header() + Int(1) + Record("sub\\site.rvlp"),
       "Can't Create SynFile From String \"sub\\site.rvlp\""},
      {Header() + Int(2) + Record("a.txt") + Record("A.TXT"), "Node Already Exists"},
      {Header() + Int(2) + Record("a\\x") + Record("a"), "Node Already Exists"},
      {Header() + Int(2) + Record("b") + Record("b\\c.txt"), "No Folder With The Name \"b\" Found"},
  };
  for (const auto& c : cases) {
    dir.CreateFile("site/site.rvlp", c.bytes);
    try {
      Load();
      ADD_FAILURE() << "loaded: " << testing::PrintToString(c.bytes);
    } catch (const std::exception& error) {
      EXPECT_EQ(error.what(), c.error) << testing::PrintToString(c.bytes);
    }
  }
}

TEST_F(TProjectTest, AFailedWriteIsAnsweredAndLeavesThePreviousFile) {
  auto project = NewProject();
  for (int i = 0; i < 100; ++i)
    project->Root().MakeChild<TSynFile>("file" + std::to_string(i), 1.0, 2.0);
  dir.CreateFile("site/site.rvlp", "previous");
  // A full disk: writes past 64 bytes fail (EFBIG), in this process only.
  rlimit old_limit{};
  ::getrlimit(RLIMIT_FSIZE, &old_limit);
  const auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{64, old_limit.rlim_max};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  const TSaveResult result = project->Save();
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(result);
  EXPECT_NE(result.Error.find("site.rvlp.new"), std::string::npos) << result.Error;
  EXPECT_EQ(dir.ReadFile("site/site.rvlp"), "previous");
  EXPECT_FALSE(std::filesystem::exists(file_name + ".new"));
}

TEST_F(TProjectTest, ALocalRootThatCannotBeMadeIsRaised) {
  dir.CreateFile("file");
  auto project = TProject::Create("h", "l", "p", "", (dir / "file/site/site.rvlp").string());
  EXPECT_THROW((void)project->Save(), std::system_error);
}

TEST_F(TProjectTest, InstalledFromInstallUntilFreed) {
  auto project = NewProject();
  EXPECT_THROW(SyncProject(), std::logic_error);  // made, not yet installed
  project->Install();
  EXPECT_EQ(&SyncProject(), project.get());
  if (auto* assigner = dynamic_cast<IServerAssigner*>(&project->Device())) {
    EXPECT_EQ(&ServerAssigner(), assigner);
  }
  // The next project is loaded while this one is open: nothing changes.
  ASSERT_TRUE(project->Save());
  auto next = Load();
  EXPECT_EQ(&SyncProject(), project.get());
  project.reset();
  EXPECT_THROW(SyncProject(), std::logic_error);
  EXPECT_NE(dynamic_cast<TNoServerAssigner*>(&ServerAssigner()), nullptr);
  next->Install();
  EXPECT_EQ(&SyncProject(), next.get());
}

TEST_F(TProjectTest, SettingsComeFromTheHeaderAndTheSettingsStore) {
  EXPECT_THROW(TProject::Create("h", "l", "p", "", "site.rvlp"), ENoLocalRoot);
  EXPECT_EQ(NewProject()->Extensions().Count(), 20);  // none saved: the built-in list
  TExtensions saved;
  saved.Clear();
  saved.Add("md", ftASCII, "", otNone);
  TSettingsStore store = TSettingsStore::CurrentUser();
  saved.Save(store);
  auto project = NewProject();
  EXPECT_EQ(project->Extensions().Count(), 1);

  project->SetHeader("other:2121", "me", "secret", "/");
  const TSiteSettings site = project->Site();
  EXPECT_EQ(site.Host + "|" + site.Login + "|" + site.Password + "|" + site.RemotePath,
            "other:2121|me|secret|");
}

}  // namespace
}  // namespace ravelo
