#pragma once
// The command line's UserInterface: every message (status, information,
// warnings, errors) goes to stderr, so that stdout carries only a command's
// data; questions are answered without asking, because the command line never
// waits for a person.
#include "romlib/UserInterface.h"

#include <iostream>
#include <mutex>
#include <ostream>
#include <string>

namespace korva::cli {

// How a question (a message with more than one button) is answered.
enum class ConsoleAnswer {
  Accept,   // Yes when offered, else OK
  Decline,  // Cancel when offered, else No
};

class ConsoleUI : public UserInterface {
 public:
  explicit ConsoleUI(std::ostream& messages = std::cerr, ConsoleAnswer answer = ConsoleAnswer::Accept);

  // Changes how later questions are answered; a command sets Decline before a
  // step whose question must not be accepted blindly.
  void SetAnswer(ConsoleAnswer answer);

  MsgButton ShowCenteredMessage(const std::string& text, MsgKind kind, MsgButtons buttons) override;
  void ShowStatusMessage(const std::string& text, int seconds) override;
  void UpdateCaption(const std::string& projectName) override;
  void ShowPlainMessage(const std::string& text, const std::string& caption, MsgKind kind) override;

  // True once an Error message or error box has been shown; commands use it
  // for their exit status.
  bool ErrorShown() const;

  // The answer a console gives to `buttons` under `answer`.
  static MsgButton Choose(MsgButtons buttons, ConsoleAnswer answer);

  // `text` with its "\r\n" line breaks as plain "\n".
  static std::string PlainLines(const std::string& text);

 private:
  std::ostream& messages_;
  ConsoleAnswer answer_;
  bool errorShown_ = false;
  mutable std::mutex mutex_;
};

}  // namespace korva::cli
