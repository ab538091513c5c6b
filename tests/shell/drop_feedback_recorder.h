#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shell/drop_feedback.h"

namespace ravelo::test {

// Records the walk's calls as lines ("Start Copying... 300", "Next /a",
// "Advance 300", "Ask a.txt", "Finish") and answers the replace questions
// from a queue (Cancel when it runs dry).
class TDropFeedbackRecorder : public IDropFeedback {
 public:
  void Start(const std::string& caption, std::int64_t total) override {
    Record("Start " + caption + " " + std::to_string(total));
  }
  void NextFile(const std::string& path) override { Record("Next " + path); }
  void Advance(std::int64_t bytes) override {
    Record("Advance " + std::to_string(bytes));
    if (OnAdvance) OnAdvance(bytes);
  }
  TReplaceAnswer ConfirmReplace(const TReplaceFacts& facts) override {
    Record("Ask " + facts.Source.substr(facts.Source.rfind('/') + 1));
    if (OnAsk) OnAsk();
    if (Answers.empty()) return raCancel;
    const TReplaceAnswer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void Finish() override { Record("Finish"); }

  // Every line that starts with the prefix.
  std::vector<std::string> Lines(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const std::string& line : Log)
      if (line.starts_with(prefix)) lines.push_back(line);
    return lines;
  }

  std::deque<TReplaceAnswer> Answers;
  std::function<void(std::int64_t)> OnAdvance;
  std::function<void()> OnAsk;
  std::function<void()> OnCall;  // before every call is recorded
  std::vector<std::string> Log;

 private:
  void Record(std::string line) {
    if (OnCall) OnCall();
    Log.push_back(std::move(line));
  }
};

}  // namespace ravelo::test
