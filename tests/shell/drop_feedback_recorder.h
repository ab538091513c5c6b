#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shell/drop_feedback.h"

namespace ravelo::test {

// Records the walk's calls as lines ("Start Copying... 300", "Next /a",
// "Advance 300", "Ask a.txt", "Finish"), calls OnRecord with each, and
// answers the replace questions from a queue (Cancel when it runs dry).
class TDropFeedbackRecorder : public IDropFeedback {
 public:
  void Start(const std::string& caption, std::int64_t total) override {
    Record("Start " + caption + " " + std::to_string(total));
  }
  void NextFile(const std::string& path) override { Record("Next " + path); }
  void Advance(std::int64_t bytes) override { Record("Advance " + std::to_string(bytes)); }
  TReplaceAnswer ConfirmReplace(const TReplaceFacts& facts) override {
    Record("Ask " + facts.Source.substr(facts.Source.rfind('/') + 1));
    const TReplaceAnswer answer = Answers.empty() ? raCancel : Answers.front();
    if (!Answers.empty()) Answers.pop_front();
    return answer;
  }
  void Finish() override { Record("Finish"); }

  std::vector<std::string> Lines(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const std::string& line : Log)
      if (line.starts_with(prefix)) lines.push_back(line);
    return lines;
  }

  std::deque<TReplaceAnswer> Answers;
  std::function<void(const std::string& line)> OnRecord;
  std::vector<std::string> Log;

 private:
  void Record(const std::string& line) {
    Log.push_back(line);
    if (OnRecord) OnRecord(line);
  }
};

}  // namespace ravelo::test
