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

// How much a command says on stderr beside its warnings and errors.
enum class Verbosity {
  Quiet,    // -q: warnings and errors only
  Normal,   // what a command did ("Wrote ...", the export's report)
  Verbose,  // -v: also the loaders' steps, the window's status-bar texts
};

// The verbosity of this run, set once by main from -q and -v (Normal until then).
void SetVerbosity(Verbosity verbosity);
Verbosity CurrentVerbosity();

// Where a command writes what it did: stderr, or nothing under -q.
std::ostream& Notes();

// How a question (a message with more than one button) is answered.
enum class ConsoleAnswer {
  Accept,   // Yes when offered, else OK
  Decline,  // Cancel when offered, else No
};

// Warnings and errors always reach the message stream, "Error: " or
// "Warning: " before them. Information and questions (with the answer taken)
// are left out under Quiet; status-bar texts, which tell of the loaders'
// steps ("Loaded project: demo.korva", "New project created!"), are shown
// only under Verbose.
class ConsoleUI : public UserInterface {
 public:
  explicit ConsoleUI(std::ostream& messages = std::cerr, ConsoleAnswer answer = ConsoleAnswer::Accept,
                     Verbosity verbosity = CurrentVerbosity());

  // Changes how later questions are answered; a command sets Decline before a
  // step whose question must not be accepted blindly.
  void SetAnswer(ConsoleAnswer answer);

  MsgButton ShowCenteredMessage(const std::string& text, MsgKind kind, MsgButtons buttons) override;
  void ShowStatusMessage(const std::string& text, int seconds) override;

  // True once an Error message has been shown; commands use it
  // for their exit status.
  bool ErrorShown() const;

  // The answer a console gives to `buttons` under `answer`.
  static MsgButton Choose(MsgButtons buttons, ConsoleAnswer answer);

  // `text` with its "\r\n" line breaks as plain "\n".
  static std::string PlainLines(const std::string& text);

 private:
  // Whether a message of `kind` is shown under this console's verbosity.
  bool Shown(MsgKind kind) const;

  std::ostream& messages_;
  ConsoleAnswer answer_;
  Verbosity verbosity_;
  bool errorShown_ = false;
  mutable std::mutex mutex_;
};

}  // namespace korva::cli
