#include "cli/ConsoleUI.h"

#include <gtest/gtest.h>

#include <sstream>

using korva::MsgButton;
using korva::MsgKind;
using korva::cli::ConsoleAnswer;
using korva::cli::ConsoleUI;

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

TEST(ConsoleUI, EveryMessageGoesToTheMessageStreamInOrder) {
  std::ostringstream err;
  ConsoleUI ui(err);
  ui.ShowCenteredMessage("Invalid path: /x/", MsgKind::Error, static_cast<unsigned>(MsgButton::OK));
  ui.ShowCenteredMessage("line one\r\nline two", MsgKind::Information, static_cast<unsigned>(MsgButton::OK));
  ui.ShowStatusMessage("Loaded KORVA Game Database, 3 ROMs", 10);
  ui.ShowPlainMessage("korva_db.xml is corrupt, re-scan ROM directory to repair!", "Error", MsgKind::Error);
  EXPECT_EQ(err.str(), "Error: Invalid path: /x/\nline one\nline two\nLoaded KORVA Game Database, 3 ROMs\n"
                       "Error: korva_db.xml is corrupt, re-scan ROM directory to repair!\n");
  EXPECT_TRUE(ui.ErrorShown());
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
