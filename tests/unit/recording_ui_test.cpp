#include "RecordingUI.h"

#include <gtest/gtest.h>

using korva::MsgButton;
using korva::MsgKind;
using korva::test::RecordedCall;
using korva::test::RecordingUI;

TEST(RecordingUI, QueuedAnswersComeInOrderThenTheFirstButton) {
  RecordingUI ui;
  ui.QueueAnswer(MsgButton::Cancel);
  EXPECT_EQ(ui.ShowCenteredMessage("a", MsgKind::Information, MsgButton::OK | MsgButton::Cancel), MsgButton::Cancel);
  EXPECT_EQ(ui.ShowCenteredMessage("b", MsgKind::Confirmation, MsgButton::No | MsgButton::Cancel), MsgButton::No);
  EXPECT_EQ(ui.UnusedAnswers(), 0u);
  ASSERT_EQ(ui.Calls().size(), 2u);
  EXPECT_EQ(ui.Calls()[0].answer, MsgButton::Cancel);
  EXPECT_EQ(ui.Calls()[1].kind, MsgKind::Confirmation);
}

TEST(RecordingUI, RecordsEverySortInOrder) {
  RecordingUI ui;
  ui.ShowStatusMessage("status", 10);
  ui.ShowCenteredMessage("asked", MsgKind::Error, static_cast<unsigned>(MsgButton::OK));
  EXPECT_EQ(ui.AllTexts(), (std::vector<std::string>{"status", "asked"}));
  EXPECT_EQ(ui.StatusTexts(), std::vector<std::string>{"status"});
  EXPECT_EQ(ui.Calls()[0].seconds, 10);
  EXPECT_EQ(ui.Messages().size(), 1u);
}
