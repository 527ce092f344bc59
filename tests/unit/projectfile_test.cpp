// The project file: the exact text the writer produces, the round trip, and
// every failure and warning of the reader.
#include "project/ProjectFile.h"

#include "BuildFixtures.h"
#include "romlib/FileUtil.h"

#include <gtest/gtest.h>

namespace korva {
namespace {

using test::RecordingUI;

class ProjectFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NewProject(ws.Proj, ui);
    a = test::AddRom(ws, "Alpha.nes", 0x1234ABCD, 16384, 8192);
    b = test::AddRom(ws, "Beta.zip", 0x00C0FFEE, 32768, 32768);
    test::AddRom(ws, "Alpha copy.nes", 0x1234ABCD, 16384, 8192);
    ui.Clear();
  }

  // Writes a project file whose ROMSlots hold `slots` and reads it back.
  void ReadWith(const std::string& slots, const std::string& head = "") {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<KORVA-Project Ver=\"12\">\n";
    text += head.empty() ? "<CartTitle>T</CartTitle><Icons>0</Icons><InstLine1>L1</InstLine1><InstLine2>L2</InstLine2>"
                         : head;
    text += "<ROMSlots>" + slots + "</ROMSlots></KORVA-Project>\n";
    WriteFileAtomic(path(), std::string_view(text));
    // ReadProjectText (what fuzz_project runs) must agree with the file reader.
    Workspace fromText = ws;
    std::string textError;
    try {
      fromText.Proj = ReadProjectText(text, path(), ws.Library);
    } catch (const ProjectFileError& e) {
      textError = e.what();
    }
    try {
      ws.Proj = ReadProjectFile(path(), ws.Library);
    } catch (const ProjectFileError& e) {
      EXPECT_EQ(textError, e.what());
      throw;
    }
    EXPECT_EQ(textError, "");
    EXPECT_EQ(ProjectFileText(fromText), ProjectFileText(ws));
  }
  std::string ReadFailure(const std::string& slots, const std::string& head = "") {
    try {
      ReadWith(slots, head);
    } catch (const ProjectFileError& e) {
      return e.what();
    }
    return "(no failure)";
  }
  std::string path() const { return dir.path() + "set1.korva"; }

  test::TempDir dir;
  Workspace ws;
  RecordingUI ui;
  int a = 0, b = 0;
};

TEST_F(ProjectFileTest, WriterTextForAnEmptyProject) {
  std::string expected =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<KORVA-Project Ver=\"12\">\r\n"
      "  <CartTitle>GAME PAK: VOLUME 1</CartTitle>\r\n"
      "  <Icons>1</Icons>\r\n"
      "  <InstLine1>PLAYCHOICE-10 COLLECTION</InstLine1>\r\n"
      "  <InstLine2>   GAME PAK: VOLUME 1   </InstLine2>\r\n"
      "  <ROMSlots>\r\n";
  for (int n = 1; n <= 16; ++n)
    expected += "    <ROM Slot=\"" + std::to_string(n) + "\" CRC32=\"00000000\" Icon=\"0\" />\r\n";
  expected += "  </ROMSlots>\r\n</KORVA-Project>\r\n";
  EXPECT_EQ(ProjectFileText(ws), expected);
}

TEST_F(ProjectFileTest, WriterEscapesAndUsesEightHexDigits) {
  ws.Proj.slot(2).ROMIndex = b;
  ws.Proj.slot(2).Icon = 3;
  ws.Proj.slot(2).Title = "A&B <C>\x03\x16";
  ws.Proj.Cartridge.CartTitle = "\x08";
  const std::string text = ProjectFileText(ws);
  EXPECT_NE(text.find("    <ROM Slot=\"2\" CRC32=\"00C0FFEE\" Icon=\"3\">A&amp;B &lt;C&gt;</ROM>\r\n"), std::string::npos)
      << text;
  // The title set's control characters cannot be written in XML 1.0: left out.
  EXPECT_NE(text.find("<CartTitle></CartTitle>"), std::string::npos) << text;
  EXPECT_EQ(text.find("&#"), std::string::npos) << text;
}

TEST_F(ProjectFileTest, WriteSetsModifiedAndReportsSaved) {
  WriteProjectFile(ws, path(), ui);
  EXPECT_TRUE(ws.Proj.ProjectModified);
  EXPECT_EQ(ui.Statuses(), (std::vector<std::pair<std::string, int>>{{"Project saved!", 2}}));
  EXPECT_EQ(test::ReadBytes(path()).size(), ProjectFileText(ws).size());
}

TEST_F(ProjectFileTest, FailedWriteStillSetsModified) {
  EXPECT_THROW(WriteProjectFile(ws, dir.path() + "no/such/dir/x.korva", ui), FileError);
  EXPECT_TRUE(ws.Proj.ProjectModified);
  EXPECT_TRUE(ui.Statuses().empty());
}

TEST_F(ProjectFileTest, RoundTrip) {
  ws.Proj.Cartridge = {"MY CART: 2", "PICK A GAME", "  AND PLAY IT  ", 2};
  ws.Proj.slot(1).ROMIndex = a;
  ws.Proj.slot(1).Title = "ALPHA";
  ws.Proj.slot(1).Icon = 1;
  ws.Proj.slot(16).ROMIndex = b;
  ws.Proj.slot(16).Title = "";
  ws.Proj.slot(16).Icon = 3;
  ws.Proj.slot(5).Title = "LOST WITHOUT ROM";
  WriteProjectFile(ws, path(), ui);
  const Project saved = ws.Proj;
  ui.Clear();

  ws.Proj = ReadProjectFile(path(), ws.Library);
  EXPECT_EQ(ws.Proj.Cartridge.CartTitle, saved.Cartridge.CartTitle);
  EXPECT_EQ(ws.Proj.Cartridge.InstLine1, saved.Cartridge.InstLine1);
  EXPECT_EQ(ws.Proj.Cartridge.InstLine2, saved.Cartridge.InstLine2);
  EXPECT_EQ(ws.Proj.Cartridge.Icons, 2);
  for (int n = 1; n <= 16; ++n) {
    EXPECT_EQ(ws.Proj.slot(n).ROMIndex, saved.slot(n).ROMIndex) << n;
    EXPECT_EQ(ws.Proj.slot(n).Icon, saved.slot(n).Icon) << n;
  }
  EXPECT_EQ(ws.Proj.slot(1).Title, "ALPHA");
  EXPECT_EQ(ws.Proj.slot(5).Title, "LOST WITHOUT ROM");  // a slot without a ROM keeps its title
  EXPECT_FALSE(ws.Proj.ProjectModified);
  EXPECT_EQ(ws.Proj.ProjectFileName, path());
  EXPECT_TRUE(ui.Statuses().empty());  // the reader shows nothing
  EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(ProjectFileTest, AllEmptySlotsReadBackWithoutWarning) {
  test::AddRom(ws, "Zero.nes", 0, 16384, 8192);  // CRC 0 must not fill the empty slots
  WriteProjectFile(ws, path(), ui);
  ws.Proj = ReadProjectFile(path(), ws.Library);
  EXPECT_TRUE(ui.Messages().empty());
  for (int n = 1; n <= 16; ++n) EXPECT_EQ(ws.Proj.slot(n).ROMIndex, -1);
}

TEST_F(ProjectFileTest, ReaderSanitizesTextsAndIconsMode) {
  ReadWith("<ROM Slot=\"1\" CRC32=\"1234abcd\" Icon=\"2\">Super Game (Europe)</ROM>"
           "<ROM Slot=\"2\" CRC32=\"1234ABCD\" Icon=\"0\">abcdefghijklmnopqrstuvwxy</ROM>"
           "<ROM Slot=\"3\" CRC32=\"1234ABCD\" Icon=\"0\">Star_Quest 2&#03;</ROM>",
           "<CartTitle>cart (x)</CartTitle><Icons>7</Icons><InstLine1>  lead</InstLine1>"
           "<InstLine2><![CDATA[cdata%line]]></InstLine2>");
  EXPECT_EQ(ws.Proj.slot(1).Title, "SUPER GAME");
  EXPECT_EQ(ws.Proj.slot(1).ROMIndex, a);  // lower-case hex, and the first of two equal CRCs
  EXPECT_EQ(ws.Proj.slot(1).Icon, 2);
  EXPECT_EQ(ws.Proj.slot(2).Title, "ABCDEFGHIJKLMNOPQRS");
  EXPECT_EQ(ws.Proj.slot(3).Title, "STARQUEST 2");  // older files load, without what XML cannot carry
  EXPECT_EQ(ws.Proj.Cartridge.CartTitle, "CART");
  EXPECT_EQ(ws.Proj.Cartridge.InstLine1, "  LEAD");
  EXPECT_EQ(ws.Proj.Cartridge.InstLine2, "CDATALINE");
  EXPECT_EQ(ws.Proj.Cartridge.Icons, 2);
  ReadWith("", "<CartTitle/><Icons>x</Icons><InstLine1/><InstLine2></InstLine2>");
  EXPECT_EQ(ws.Proj.Cartridge.Icons, 2);
  EXPECT_EQ(ws.Proj.Cartridge.CartTitle, "");
  ReadWith("", "<CartTitle/><Icons>0</Icons><InstLine1/><InstLine2>      </InstLine2>");
  EXPECT_EQ(ws.Proj.Cartridge.Icons, 0);
  EXPECT_EQ(ws.Proj.Cartridge.InstLine2, "      ");
}

TEST_F(ProjectFileTest, RootNameAndVersionAreNotLookedAt) {
  const std::string text =
      "<Other><CartTitle>X</CartTitle><Icons>1</Icons><InstLine1/><InstLine2/>"
      "<ROMSlots><Anything Slot=\"4\" CRC32=\"00C0FFEE\" Icon=\"1\">B</Anything></ROMSlots></Other>";
  WriteFileAtomic(path(), std::string_view(text));
  EXPECT_EQ(ReadProjectFile(path(), ws.Library).slot(4).ROMIndex, b);
}

// A CRC that ROMList does not hold stays the slot's, with its title and
// icon, and is written back; a CRC of 0 (or no hexadecimal number) names no
// ROM, but the slot keeps its title and icon too. Nothing is shown.
TEST_F(ProjectFileTest, MissingRomsKeepTheirCrcTitleAndIcon) {
  ReadWith("<ROM Slot=\"2\" CRC32=\"DEADBEEF\" Icon=\"0\"></ROM>"
           "<ROM Slot=\"3\" CRC32=\"00000000\" Icon=\"2\">GONE</ROM>"
           "<ROM Slot=\"4\" CRC32=\"0\" Icon=\"0\">ZERO</ROM>"
           "<ROM Slot=\"9\" CRC32=\"deadbeef\" Icon=\"1\">Lost Game</ROM>"
           "<ROM Slot=\"10\" CRC32=\"zz\" Icon=\"1\">BAD HEX</ROM>");
  const struct {
    int slot;
    std::uint32_t missing;
    const char* title;
    int icon;
  } expected[] = {{2, 0xDEADBEEF, "", 0}, {3, 0, "GONE", 2}, {4, 0, "ZERO", 0}, {9, 0xDEADBEEF, "LOST GAME", 1},
                  {10, 0, "BAD HEX", 1}};
  for (const auto& e : expected) {
    const Slot& slot = ws.Proj.slot(e.slot);
    EXPECT_EQ(slot.ROMIndex, -1) << e.slot;
    EXPECT_EQ(slot.MissingCRC, e.missing) << e.slot;
    EXPECT_EQ(slot.Title, e.title) << e.slot;
    EXPECT_EQ(slot.Icon, e.icon) << e.slot;
  }
  EXPECT_TRUE(ui.Messages().empty());
  EXPECT_EQ(ws.Proj.ProjectFileName, path());
  const std::string text = ProjectFileText(ws);
  EXPECT_NE(text.find("<ROM Slot=\"9\" CRC32=\"DEADBEEF\" Icon=\"1\">LOST GAME</ROM>"), std::string::npos) << text;
  EXPECT_NE(text.find("<ROM Slot=\"3\" CRC32=\"00000000\" Icon=\"2\">GONE</ROM>"), std::string::npos) << text;
}

TEST_F(ProjectFileTest, LaterElementsForTheSameSlot) {
  ReadWith("<ROM Slot=\"1\" CRC32=\"1234ABCD\" Icon=\"0\">FIRST</ROM>"
           "<ROM Slot=\"1\" CRC32=\"00C0FFEE\" Icon=\"1\">SECOND</ROM>"
           "<ROM Slot=\"1\" CRC32=\"DEADBEEF\" Icon=\"2\"></ROM>"
           "<ROM Slot=\"5\" CRC32=\"DEADBEEF\" Icon=\"2\"></ROM>"
           "<ROM Slot=\"5\" CRC32=\"1234ABCD\" Icon=\"2\"></ROM>");
  EXPECT_EQ(ws.Proj.slot(1).ROMIndex, -1);  // the last one wins, missing ROM and all
  EXPECT_EQ(ws.Proj.slot(1).MissingCRC, 0xDEADBEEFu);
  EXPECT_EQ(ws.Proj.slot(1).Title, "");
  EXPECT_EQ(ws.Proj.slot(5).ROMIndex, a);
  EXPECT_EQ(ws.Proj.slot(5).MissingCRC, 0u);
}

TEST_F(ProjectFileTest, MoreThanSixteenElementsAreAllProcessed) {
  std::string slots;
  for (int i = 0; i < 20; ++i)
    slots += "<ROM Slot=\"" + std::to_string(i % 16 + 1) + "\" CRC32=\"00C0FFEE\" Icon=\"0\">G" + std::to_string(i) + "</ROM>";
  ReadWith(slots);
  EXPECT_EQ(ws.Proj.slot(1).Title, "G16");
  EXPECT_EQ(ws.Proj.slot(5).Title, "G4");
}

TEST_F(ProjectFileTest, RangeFailures) {
  EXPECT_EQ(ReadFailure("<ROM Slot=\"0\" CRC32=\"0\" Icon=\"0\"/>"), "Slot 0 is not within valid range!");
  EXPECT_EQ(ReadFailure("<ROM Slot=\"17\" CRC32=\"0\" Icon=\"0\"/>"), "Slot 17 is not within valid range!");
  EXPECT_EQ(ReadFailure("<ROM CRC32=\"0\" Icon=\"0\"/>"), "Slot 0 is not within valid range!");
  EXPECT_EQ(ReadFailure("<ROM Slot=\"1\" CRC32=\"0\"/>"), "Icon Index -1 is not within valid range!");
  EXPECT_EQ(ReadFailure("<ROM Slot=\"1\" CRC32=\"0\" Icon=\"4\"/>"), "Icon Index 4 is not within valid range!");
  // The icon is tested before the slot.
  EXPECT_EQ(ReadFailure("<ROM Slot=\"99\" CRC32=\"0\" Icon=\"9\"/>"), "Icon Index 9 is not within valid range!");
}

TEST_F(ProjectFileTest, FailureChangesNothing) {
  EXPECT_EQ(ReadFailure("<ROM Slot=\"2\" CRC32=\"00C0FFEE\" Icon=\"1\">KEPT</ROM><ROM Slot=\"40\" CRC32=\"0\" Icon=\"0\"/>",
                        "<CartTitle>NOT APPLIED</CartTitle><Icons>0</Icons><InstLine1/><InstLine2/>"),
            "Slot 40 is not within valid range!");
  EXPECT_EQ(ws.Proj.slot(2).ROMIndex, -1);
  EXPECT_EQ(ws.Proj.Cartridge.CartTitle, "GAME PAK: VOLUME 1");
  EXPECT_EQ(ws.Proj.Cartridge.Icons, 1);
  EXPECT_TRUE(ws.Proj.ProjectFileName.empty());
}

TEST_F(ProjectFileTest, MissingNodes) {
  const std::string all[] = {"<CartTitle/>", "<Icons>1</Icons>", "<InstLine1/>", "<InstLine2/>"};
  const char* names[] = {"CartTitle", "Icons", "InstLine1", "InstLine2"};
  for (int skip = 0; skip < 4; ++skip) {
    std::string head;
    for (int i = 0; i < 4; ++i)
      if (i != skip) head += all[i];
    EXPECT_EQ(ReadFailure("", head), std::string("Node \"") + names[skip] + "\" not found");
  }
  const std::string text = "<KORVA-Project><CartTitle/><Icons>1</Icons><InstLine1/><InstLine2/></KORVA-Project>";
  WriteFileAtomic(path(), std::string_view(text));
  try {
    (void)ReadProjectFile(path(), ws.Library);
    FAIL();
  } catch (const ProjectFileError& e) {
    EXPECT_STREQ(e.what(), "Node \"ROMSlots\" not found");
  }
  // Names match with case.
  EXPECT_EQ(ReadFailure("", "<carttitle/><CartTitle/><Icons>1</Icons><InstLine1/><InstLine2/>"), "(no failure)");
  EXPECT_EQ(ReadFailure("", "<carttitle/><Icons>1</Icons><InstLine1/><InstLine2/>"), "Node \"CartTitle\" not found");
}

TEST_F(ProjectFileTest, ElementsMustHoldASingleText) {
  EXPECT_EQ(ReadFailure("", "<CartTitle><b>X</b></CartTitle><Icons>1</Icons><InstLine1/><InstLine2/>"),
            "Element does not contain a single text node");
  EXPECT_EQ(ReadFailure("<ROM Slot=\"1\" CRC32=\"0\" Icon=\"0\">A<x/>B</ROM>"),
            "Element does not contain a single text node");
}

TEST_F(ProjectFileTest, MalformedXmlGivesTheParserText) {
  WriteFileAtomic(path(), std::string_view("<KORVA-Project><CartTitle>X</KORVA-Project>"));
  try {
    (void)ReadProjectFile(path(), ws.Library);
    FAIL();
  } catch (const ProjectFileError& e) {
    EXPECT_NE(std::string(e.what()).find("at byte"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(ws.Proj.ProjectFileName.empty());
  // Damaged bytes: a truncated real file never reads outside its buffer.
  WriteProjectFile(ws, path(), ui);
  auto bytes = test::ReadBytes(path());
  for (std::size_t keep : {std::size_t(0), std::size_t(10), bytes.size() / 2, bytes.size() - 3}) {
    test::WriteBytes(path(), std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep)));
    EXPECT_THROW((void)ReadProjectFile(path(), ws.Library), ProjectFileError) << keep;
  }
}

TEST_F(ProjectFileTest, XmlTheReaderWouldReadOtherwiseIsRefused) {
  // pugixml neither expands declared entities nor minds a second root: such
  // files are refused instead of loading "&t;" as "&T" or half the file.
  const std::string head = "<CartTitle>TITLE</CartTitle><Icons>0</Icons><InstLine1/><InstLine2/><ROMSlots/>";
  const struct {
    std::string text;
    const char* refusal;  // nullptr: it loads, with CartTitle `title`
    const char* title;
  } cases[] = {
      {"<!DOCTYPE p [<!ENTITY t \"MY CART\">]><p>" + head + "</p>", "document type declaration", nullptr},
      {"<p>" + std::string(head).replace(11, 5, "&t;") + "</p>", "the entity \"&t;\"", nullptr},
      {"<p><CartTitle>X</CartTitle><Icons>0</Icons><InstLine1/><InstLine2/><ROMSlots><ROM Slot=\"&s;\"/></ROMSlots></p>",
       "the entity \"&s;\"", nullptr},
      {"<p>" + head + "</p><p>" + head + "</p>", "second root element <p>", nullptr},
      {"<p>" + std::string(head).replace(11, 5, "A&amp;B&#67;&#x44;") + "</p>", nullptr, "A&BCD"},
      {"<p>" + std::string(head).replace(11, 5, "<![CDATA[&t;]]>") + "</p><!-- &x; -->", nullptr, "&T"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    WriteFileAtomic(path(), std::string_view(c.text));
    try {
      ws.Proj = ReadProjectFile(path(), ws.Library);
      EXPECT_EQ(c.refusal, nullptr) << "loaded";
      if (c.title) {
        EXPECT_EQ(ws.Proj.Cartridge.CartTitle, c.title);
      }
    } catch (const ProjectFileError& e) {
      ASSERT_NE(c.refusal, nullptr) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
      if (c.text.find('&') != std::string::npos) {
        EXPECT_NE(std::string(e.what()).find("(pugixml) does not expand"), std::string::npos) << e.what();
      }
    }
  }
}

TEST_F(ProjectFileTest, UnreadableFileIsAFileError) {
  EXPECT_THROW((void)ReadProjectFile(dir.path() + "absent.korva", ws.Library), FileError);
}

}  // namespace
}  // namespace korva
