#include "cli/ConsoleUI.h"

#include <atomic>
#include <streambuf>

namespace korva::cli {

namespace {
std::atomic<Verbosity> runVerbosity{Verbosity::Normal};

// A stream that takes everything and keeps nothing.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

const char* ButtonName(MsgButton b) {
  switch (b) {
    case MsgButton::Yes: return "Yes";
    case MsgButton::No: return "No";
    case MsgButton::OK: return "OK";
    case MsgButton::Cancel: return "Cancel";
  }
  return "OK";
}

const char* KindPrefix(MsgKind kind) {
  switch (kind) {
    case MsgKind::Error: return "Error: ";
    case MsgKind::Warning: return "Warning: ";
    default: return "";
  }
}

int ButtonCount(MsgButtons buttons) {
  int n = 0;
  for (MsgButton b : {MsgButton::Yes, MsgButton::No, MsgButton::OK, MsgButton::Cancel})
    n += HasButton(buttons, b) ? 1 : 0;
  return n;
}
}  // namespace

void SetVerbosity(Verbosity verbosity) { runVerbosity = verbosity; }

Verbosity CurrentVerbosity() { return runVerbosity; }

std::ostream& Notes() {
  static NullBuffer nothing;
  static std::ostream discard(&nothing);
  return CurrentVerbosity() == Verbosity::Quiet ? discard : std::cerr;
}

ConsoleUI::ConsoleUI(std::ostream& messages, ConsoleAnswer answer, Verbosity verbosity)
    : messages_(messages), answer_(answer), verbosity_(verbosity) {}

void ConsoleUI::SetAnswer(ConsoleAnswer answer) {
  std::lock_guard lock(mutex_);
  answer_ = answer;
}

MsgButton ConsoleUI::Choose(MsgButtons buttons, ConsoleAnswer answer) {
  static constexpr MsgButton kAccept[] = {MsgButton::Yes, MsgButton::OK, MsgButton::No, MsgButton::Cancel};
  static constexpr MsgButton kDecline[] = {MsgButton::Cancel, MsgButton::No, MsgButton::OK, MsgButton::Yes};
  for (MsgButton b : answer == ConsoleAnswer::Accept ? kAccept : kDecline)
    if (HasButton(buttons, b)) return b;
  return MsgButton::OK;
}

std::string ConsoleUI::PlainLines(const std::string& text) {
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  return lines;
}

MsgButton ConsoleUI::ShowCenteredMessage(const std::string& text, MsgKind kind, MsgButtons buttons) {
  std::lock_guard lock(mutex_);
  const MsgButton answer = Choose(buttons, answer_);
  if (kind == MsgKind::Error) errorShown_ = true;
  if (!Shown(kind)) return answer;
  messages_ << KindPrefix(kind) << PlainLines(text);
  if (ButtonCount(buttons) > 1) messages_ << " [" << ButtonName(answer) << "]";
  messages_ << "\n" << std::flush;
  return answer;
}

void ConsoleUI::ShowStatusMessage(const std::string& text, int /*seconds*/) {
  std::lock_guard lock(mutex_);
  if (verbosity_ != Verbosity::Verbose) return;
  messages_ << PlainLines(text) << "\n" << std::flush;
}

bool ConsoleUI::Shown(MsgKind kind) const {
  return verbosity_ != Verbosity::Quiet || kind == MsgKind::Error || kind == MsgKind::Warning;
}

bool ConsoleUI::ErrorShown() const {
  std::lock_guard lock(mutex_);
  return errorShown_;
}

}  // namespace korva::cli
