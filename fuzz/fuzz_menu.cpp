// Draws the menu preview from the built-in menu program with arbitrary bytes
// over its layout table ($F000 on): the renderer must stay inside the menu
// PRG and CHR whatever the table says.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "builder/ImageBuilder.h"
#include "builder/MenuScreen.h"
#include "romlib/Assets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto menuRom = korva::FindAsset("MENUROM");
  const auto prgStart = menuRom.begin() + korva::kMenuPatchHeaderSize;
  std::vector<std::uint8_t> prg(prgStart, prgStart + korva::kMenuPrgSize);
  const std::size_t layout = korva::kMenuLayoutAddress - korva::kMenuPrgBase;
  std::copy_n(data, std::min(size, prg.size() - layout), prg.begin() + static_cast<std::ptrdiff_t>(layout));
  korva::MenuFrame frame;
  korva::RenderMenuScreen(prg, menuRom.subspan(korva::kMenuPatchHeaderSize + korva::kMenuPrgSize, korva::kMenuChrSize),
                          frame);
  return 0;
}
