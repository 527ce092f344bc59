#include "cli/ConsoleUI.h"

namespace korva::cli {

namespace {
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

ConsoleUI::ConsoleUI(std::ostream& messages, ConsoleAnswer answer) : messages_(messages), answer_(answer) {}

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
  messages_ << KindPrefix(kind) << PlainLines(text);
  if (ButtonCount(buttons) > 1) messages_ << " [" << ButtonName(answer) << "]";
  messages_ << "\n" << std::flush;
  return answer;
}

void ConsoleUI::ShowStatusMessage(const std::string& text, int /*seconds*/) {
  std::lock_guard lock(mutex_);
  messages_ << PlainLines(text) << "\n" << std::flush;
}

void ConsoleUI::UpdateCaption(const std::string& /*projectName*/) {
  // A console has no caption.
}

void ConsoleUI::ShowPlainMessage(const std::string& text, const std::string& caption, MsgKind kind) {
  std::lock_guard lock(mutex_);
  if (kind == MsgKind::Error) errorShown_ = true;
  if (!caption.empty()) messages_ << caption << ": ";
  messages_ << PlainLines(text) << "\n" << std::flush;
}

bool ConsoleUI::ErrorShown() const {
  std::lock_guard lock(mutex_);
  return errorShown_;
}

}  // namespace korva::cli
