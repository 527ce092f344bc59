// The play-test page: whatever the titles hold, the page's scripts and data
// stay inside their elements, the data names each placed slot with the bank
// the board is given for it, and the page carries the RGB palette.
#include "builder/PlayPage.h"

#include "builder/MenuScreen.h"

#include "BuildFixtures.h"

#include <gtest/gtest.h>

namespace korva {
namespace {

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(PlayPage, KeepsEveryTitleInsideItsDataAndNamesTheSlotsBanks) {
  const struct {
    const char* what;
    std::string title;
    std::string inPage;  // how the page's data holds it
  } cases[] = {
      {"plain", "ROCKET RALLY", "\"ROCKET RALLY\""},
      {"a closing script tag", "A</script><b>", "\"A\\u003c/script\\u003e\\u003cb\\u003e\""},
      {"quote and backslash", "SAY \"HI\" \\", "\"SAY \\u0022HI\\u0022 \\u005c\""},
      {"a control character", "A\x03" "B", "\"A\\u0003B\""},
      {"an ampersand", "R&D", "\"R\\u0026D\""},
  };
  for (const auto& k : cases) {
    test::TempDir dir;
    Workspace ws;
    ws.Library.ROMPath = dir.path();
    for (int n = 1; n <= SlotCount; ++n) {
      const test::Bytes image = test::FilledINesImage(n <= 2 ? 1 : 2, 1, 0, false, 0x10, static_cast<std::uint8_t>(n));
      const std::string name = "game" + std::to_string(n) + ".nes";
      dir.Write(name, image);
      ws.Proj.slot(n).ROMIndex = test::AddRom(ws, name, test::DataCrc(image), n <= 2 ? 16384 : 32768, 8192);
      ws.Proj.slot(n).Title = "GAME " + std::to_string(n);
    }
    ws.Proj.slot(3).Title = k.title;
    ws.Proj.Cartridge.CartTitle = k.title;
    const ImageAssembly built = AssembleImages(ws.Proj, ws.Library, LoadTemplates());
    ASSERT_TRUE(built.Built()) << built.Refusal;
    const std::string page = PlayPage(ws.Proj, built.Images);

    EXPECT_EQ(Count(page, "</script>"), 4u) << k.what;  // the data, jsnes, the board, the page's script
    EXPECT_EQ(Count(page, "<script"), 4u) << k.what;
    EXPECT_EQ(Count(page, "\"title\":" + k.inPage), 2u) << k.what;  // the cartridge's and slot 3's
    for (int n = 1; n <= SlotCount; ++n) {
      const SlotPlacement& s = built.Images.Slots[static_cast<std::size_t>(n - 1)];
      const std::string title = n == 3 ? k.inPage : "\"GAME " + std::to_string(n) + "\"";
      EXPECT_EQ(Count(page, "{\"slot\":" + std::to_string(n) + ",\"title\":" + title + ",\"prg\":" +
                                std::to_string(s.PrgBank) + ",\"chr\":" + std::to_string(s.ChrBank) + "}"),
                1u)
          << k.what << ", slot " << n;
    }
    EXPECT_EQ(Count(page, "\"rgb\":[" + std::to_string(kRgbPalette[0]) + ","), 1u);
  }
}

}  // namespace
}  // namespace korva
