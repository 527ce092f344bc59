#include "cli/ConsoleUI.h"

#include <gtest/gtest.h>

#include <sstream>

using korva::MsgButton;
using korva::MsgKind;
using korva::cli::ConsoleAnswer;
using korva::cli::ConsoleUI;
using korva::cli::Verbosity;

TEST(ConsoleUI, AcceptPrefersYesThenOk) {
  EXPECT_EQ(ConsoleUI::Choose(MsgButton::Yes | MsgButton::No, ConsoleAnswer::Accept), MsgButton::Yes);
  EXPECT_EQ(ConsoleUI::Choose(MsgButton::OK | MsgButton::Cancel, ConsoleAnswer::Accept), MsgButton::OK);
  EXPECT_EQ(ConsoleUI::Choose(static_cast<unsigned>(MsgButton::Cancel), ConsoleAnswer::Accept), MsgButton::Cancel);
}

TEST(ConsoleUI, DeclinePrefersCancelThenNo) {
  EXPECT_EQ(ConsoleUI::Choose(MsgButton::OK | MsgButton::Cancel, ConsoleAnswer::Decline), MsgButton::Cancel);
  EXPECT_EQ(ConsoleUI::Choose(MsgButton::Yes | MsgButton::No, ConsoleAnswer::Decline), MsgButton::No);
  EXPECT_EQ(ConsoleUI::Choose(static_cast<unsigned>(MsgButton::OK), ConsoleAnswer::Decline), MsgButton::OK);
}

// Every message in order; the verbosity decides which: status-bar texts only
// with -v, only warnings and errors with -q.
TEST(ConsoleUI, TheVerbosityDecidesWhichMessagesGoToTheMessageStream) {
  const struct {
    Verbosity verbosity;
    const char* shown;
  } cases[] = {
      {Verbosity::Verbose,
       "Error: Invalid path: /x/\nline one\nline two\nLoaded KORVA Game Database, 3 ROMs\n"
       "Go on? [Yes]\n"},
      {Verbosity::Normal,
       "Error: Invalid path: /x/\nline one\nline two\nGo on? [Yes]\n"},
      {Verbosity::Quiet,
       "Error: Invalid path: /x/\n"},
  };
  for (const auto& c : cases) {
    std::ostringstream err;
    ConsoleUI ui(err, ConsoleAnswer::Accept, c.verbosity);
    ui.ShowCenteredMessage("Invalid path: /x/", MsgKind::Error, static_cast<unsigned>(MsgButton::OK));
    ui.ShowCenteredMessage("line one\r\nline two", MsgKind::Information, static_cast<unsigned>(MsgButton::OK));
    ui.ShowStatusMessage("Loaded KORVA Game Database, 3 ROMs", 10);
    EXPECT_EQ(ui.ShowCenteredMessage("Go on?", MsgKind::Confirmation, MsgButton::Yes | MsgButton::No), MsgButton::Yes);
    EXPECT_EQ(err.str(), c.shown) << static_cast<int>(c.verbosity);
    EXPECT_TRUE(ui.ErrorShown());
  }
}

TEST(ConsoleUI, QuestionShowsItsAnswer) {
  std::ostringstream out;
  ConsoleUI ui(out, ConsoleAnswer::Decline);
  EXPECT_EQ(ui.ShowCenteredMessage("Go on?", MsgKind::Confirmation, MsgButton::OK | MsgButton::Cancel),
            MsgButton::Cancel);
  ui.SetAnswer(ConsoleAnswer::Accept);
  EXPECT_EQ(ui.ShowCenteredMessage("Go on?", MsgKind::Confirmation, MsgButton::Yes | MsgButton::No),
            MsgButton::Yes);
  EXPECT_EQ(out.str(), "Go on? [Cancel]\nGo on? [Yes]\n");
  EXPECT_FALSE(ui.ErrorShown());
}
