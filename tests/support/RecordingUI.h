#pragma once
// A UserInterface for tests: it records every call with its texts, in order,
// and answers questions from a queue. Safe to call from a worker thread.
//
//   korva::test::RecordingUI ui;
//   ui.QueueAnswer(korva::MsgButton::Cancel);
//   RunSomething(ui);
//   EXPECT_EQ(ui.CenteredTexts(), (std::vector<std::string>{"..."}));
#include "romlib/UserInterface.h"

#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace korva::test {

// One call made on the interface.
struct RecordedCall {
  enum class What { Centered, Status };
  What what = What::Centered;
  std::string text;                 // message or status text
  MsgKind kind = MsgKind::Information;  // Centered
  MsgButtons buttons = 0;           // Centered
  MsgButton answer = MsgButton::OK; // Centered: what was answered
  int seconds = 0;                  // Status
};

class RecordingUI : public UserInterface {
 public:
  // The answer to the next question. Without a queued answer a question is
  // answered with the first button shown (in the order Yes, No, OK, Cancel),
  // as a user pressing Enter would.
  void QueueAnswer(MsgButton answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
  }

  MsgButton ShowCenteredMessage(const std::string& text, MsgKind kind, MsgButtons buttons) override {
    std::lock_guard lock(mutex_);
    MsgButton answer = FirstButton(buttons);
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
    RecordedCall call;
    call.what = RecordedCall::What::Centered;
    call.text = text;
    call.kind = kind;
    call.buttons = buttons;
    call.answer = answer;
    calls_.push_back(call);
    return answer;
  }

  void ShowStatusMessage(const std::string& text, int seconds) override {
    std::lock_guard lock(mutex_);
    RecordedCall call;
    call.what = RecordedCall::What::Status;
    call.text = text;
    call.seconds = seconds;
    calls_.push_back(call);
  }

  // Every call so far, in order.
  std::vector<RecordedCall> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  // The texts of the calls of one sort, in order.
  std::vector<std::string> Texts(RecordedCall::What what) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& c : calls_)
      if (c.what == what) texts.push_back(c.text);
    return texts;
  }
  std::vector<std::string> CenteredTexts() const { return Texts(RecordedCall::What::Centered); }
  std::vector<std::string> StatusTexts() const { return Texts(RecordedCall::What::Status); }

  // The messages shown, in order.
  std::vector<RecordedCall> Messages() const {
    std::lock_guard lock(mutex_);
    std::vector<RecordedCall> shown;
    for (const auto& c : calls_)
      if (c.what == RecordedCall::What::Centered) shown.push_back(c);
    return shown;
  }
  // The status texts with their seconds, in order.
  std::vector<std::pair<std::string, int>> Statuses() const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<std::string, int>> statuses;
    for (const auto& c : calls_)
      if (c.what == RecordedCall::What::Status) statuses.emplace_back(c.text, c.seconds);
    return statuses;
  }

  // The texts of every call, whatever its sort, in order.
  std::vector<std::string> AllTexts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& c : calls_) texts.push_back(c.text);
    return texts;
  }

  // Answers queued but never asked for.
  std::size_t UnusedAnswers() const {
    std::lock_guard lock(mutex_);
    return answers_.size();
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
    answers_.clear();
  }

 private:
  static MsgButton FirstButton(MsgButtons buttons) {
    for (MsgButton b : {MsgButton::Yes, MsgButton::No, MsgButton::OK, MsgButton::Cancel})
      if (HasButton(buttons, b)) return b;
    return MsgButton::OK;
  }

  mutable std::mutex mutex_;
  std::vector<RecordedCall> calls_;
  std::deque<MsgButton> answers_;
};

}  // namespace korva::test
