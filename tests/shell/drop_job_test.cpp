#include "shell/drop_job.h"

#include <gtest/gtest.h>

#include <optional>

#include "shell/drop_feedback_recorder.h"
#include "support/temp_dir.h"
#include "support/test_main_loop.h"

namespace ravelo::test {
namespace {

class DropJobTest : public ::testing::Test {
 protected:
  DropJobTest() {
    dir.CreateFile("site/a.txt", "old");
    request = {
        {dir.CreateFile("drop/a.txt", "new").string(), dir.CreateFile("drop/b.txt", "b").string()},
        (dir / "site").string(),
        true};
    window.OnRecord = [this](const std::string& line) {
      EXPECT_TRUE(loop.MainThread().IsMainThread());
      if (line.starts_with("Ask") && job) job->Cancel();  // as the progress dialog's button would
    };
  }

  std::unique_ptr<TDropJob> StartJob() {
    return std::make_unique<TDropJob>(request, window,
                                      [this](const TDropOutcome& outcome) { ended = outcome; });
  }

  TTestMainLoop loop;
  TTempDir dir;
  TDropRequest request;
  TDropFeedbackRecorder window;
  std::optional<TDropOutcome> ended;
  std::unique_ptr<TDropJob> job;  // set by a test that cancels at the question
};

TEST_F(DropJobTest, WalksInItsOwnThreadAndAsksInTheMainThread) {
  window.Answers = {raReplace};
  const auto running = StartJob();
  ASSERT_TRUE(loop.RunUntil([&] { return ended.has_value(); }));
  EXPECT_EQ(ended->Result, drDone);
  EXPECT_EQ(dir.ReadFile("site/a.txt"), "new");
  EXPECT_EQ(dir.ReadFile("site/b.txt"), "b");
  EXPECT_EQ(window.Lines("Ask"), std::vector<std::string>{"Ask a.txt"});
  EXPECT_EQ(window.Log.front(), "Start Copying... 4");
  EXPECT_EQ(window.Log.back(), "Finish");
}

TEST_F(DropJobTest, CancelStopsTheCopyInProgress) {
  window.Answers = {raReplace};
  job = StartJob();
  ASSERT_TRUE(loop.RunUntil([&] { return ended.has_value(); }));
  EXPECT_EQ(ended->Result, drCancelled);
  EXPECT_EQ(dir.ReadFile("site/a.txt"), "old");
  EXPECT_FALSE(dir.Exists("site/b.txt"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "site"), {}), 1);
}

TEST_F(DropJobTest, ADestroyedJobNeverCallsTheWindow) {
  StartJob().reset();  // the question it would ask is answered Cancel unseen
  loop.ProcessPending();
  EXPECT_TRUE(window.Log.empty());
  EXPECT_FALSE(ended.has_value());
  EXPECT_EQ(dir.ReadFile("site/a.txt"), "old");
}

}  // namespace
}  // namespace ravelo::test
