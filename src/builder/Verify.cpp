#include "builder/Verify.h"

#include "builder/InstRom.h"
#include "romlib/FileUtil.h"

#include <cstdio>
#include <filesystem>

namespace korva {

namespace {

constexpr const char* kImageNames[3] = {"PRG image", "CHR image", "instruction ROM"};

// Which area each byte of one image belongs to: areas are painted over the
// whole image, later ones over earlier ones, so the most specific wins.
class AreaMap {
 public:
  explicit AreaMap(std::size_t size) : owner_(size, 0) {}
  // A new area of line `line`; returns its number.
  std::size_t Add(std::size_t line, std::string name) {
    areas_.push_back({line, std::move(name)});
    return areas_.size() - 1;
  }
  void Paint(std::size_t area, std::size_t offset, std::size_t size) {
    for (std::size_t i = offset; i < offset + size && i < owner_.size(); ++i) owner_[i] = static_cast<std::uint16_t>(area);
  }
  // Compares and puts each area's result on its line.
  void Compare(const std::vector<std::uint8_t>& actual, const std::vector<std::uint8_t>& expected, const char* image,
               std::vector<VerifiedLine>& lines) const {
    std::vector<VerifiedArea> results;
    for (const auto& [line, name] : areas_) results.push_back({name, image, true, 0});
    for (std::size_t i = 0; i < owner_.size(); ++i) {
      if (actual[i] == expected[i]) continue;
      VerifiedArea& area = results[owner_[i]];
      if (area.Matches) area.Matches = false, area.FirstDifference = i;
    }
    // The first area (the padding: everything no other area covers) last.
    for (std::size_t k = 1; k <= areas_.size(); ++k) {
      const std::size_t a = k % areas_.size();
      lines[areas_[a].first].Areas.push_back(results[a]);
    }
  }

 private:
  std::vector<std::pair<std::size_t, std::string>> areas_;
  std::vector<std::uint16_t> owner_;
};

std::string Hex(std::size_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%zX", value);
  return text;
}

}  // namespace

bool VerifiedLine::Matches() const {
  for (const VerifiedArea& area : Areas)
    if (!area.Matches) return false;
  return true;
}

bool VerifyReport::Matches() const {
  if (!Refusal.empty() || Lines.empty()) return false;
  for (const VerifiedLine& line : Lines)
    if (!line.Matches()) return false;
  return true;
}

std::array<std::string, 3> ExportedImagePaths(const std::string& projectFile) {
  return ImagePaths(WithoutExtension(projectFile));
}

VerifyReport CompareImages(const Workspace& ws, const CartridgeBuild& expected,
                           const std::array<std::vector<std::uint8_t>, 3>& actual,
                           const std::array<std::string, 3>& names) {
  VerifyReport report;
  std::vector<VerifiedLine>& lines = report.Lines;
  for (int n = 1; n <= SlotCount; ++n)
    lines.push_back({"slot " + std::to_string(n) + " " + ws.Proj.slot(n).Title, {}, {}, {}});
  const std::size_t prgLine = lines.size(), chrLine = prgLine + 1, instLine = prgLine + 2;
  for (std::size_t i = 0; i < 3; ++i)
    lines.push_back({std::string(kImageNames[i]) + " " + names[i], {}, FiguresText(FiguresOf(actual[i])),
                     FiguresOf(actual[i])});

  // The PRG image: padding, the menu program and its patched fields, the games.
  const MenuPatchHeader h = ReadPatchHeader(expected.Used.MenuRom);
  const auto menu = [](unsigned address) { return kMenuPrgImageOffset + (address - kMenuPrgBase); };
  AreaMap prg(kImageSize);
  prg.Add(prgLine, "padding");
  prg.Paint(prg.Add(prgLine, "menu program"), kMenuPrgImageOffset, kMenuPrgSize);
  const std::size_t lines1 = prg.Add(prgLine, "instruction lines");
  prg.Paint(lines1, menu(h.InstLine1), kInstLineMaxLength + 1);
  prg.Paint(lines1, menu(h.InstLine2), kInstLineMaxLength + 1);
  const std::size_t titles = prg.Add(prgLine, "titles");
  const std::vector<std::uint8_t>& image = expected.Images.Prg;
  for (unsigned n = 0; n < SlotCount; ++n) {
    const std::size_t pointer = menu(h.TitlePointers) + 2 * n;
    const unsigned entry = image[pointer] | (image[pointer + 1] << 8);
    prg.Paint(titles, menu(entry) + 4, kMenuTitleLength);
  }
  const std::size_t table = prg.Add(prgLine, "slot table");
  prg.Paint(table, menu(h.SlotCount), 1);
  prg.Paint(table, menu(h.SlotTable), kSlotEntrySize * SlotCount);
  // CHR image: padding, the menu's characters, the games.
  AreaMap chr(kImageSize);
  chr.Add(chrLine, "padding");
  chr.Paint(chr.Add(chrLine, "menu characters"), 0, kMenuChrSize);
  const auto roms = SlotRoms(ws.Proj, ws.Library);
  for (std::size_t i = 0; i < SlotCount; ++i) {
    const SlotPlacement& p = expected.Images.Slots[i];
    prg.Paint(prg.Add(i, "PRG"), p.PrgOffset, static_cast<std::size_t>(roms[i]->PrgRomSize));
    chr.Paint(chr.Add(i, "CHR"), p.ChrOffset, static_cast<std::size_t>(roms[i]->ChrRomSize));
  }
  // The instruction ROM: padding, template, texts, checksum.
  AreaMap inst(kInstRomImageSize);
  inst.Add(instLine, "padding");
  const std::size_t tmpl = inst.Add(instLine, "template");
  inst.Paint(tmpl, 0, kInstRomTemplateSize);
  const std::size_t texts = inst.Add(instLine, "texts");
  for (std::size_t at : {kInstLine1Offset, kInstLine2Offset, kTitleLineOffset}) inst.Paint(texts, at, kInstLineMaxLength);
  inst.Paint(inst.Add(instLine, "checksum"), kInstRomChecksumOffset, 1);

  prg.Compare(actual[0], expected.Images.Prg, kImageNames[0], lines);
  chr.Compare(actual[1], expected.Images.Chr, kImageNames[1], lines);
  inst.Compare(actual[2], expected.Images.InstRom, kImageNames[2], lines);
  return report;
}

VerifyReport VerifyImages(const Workspace& ws, const TemplateChoice& choice, const std::array<std::string, 3>& paths) {
  VerifyReport report;
  // The files first, each read no further than its image's size.
  const std::size_t sizes[3] = {kImageSize, kImageSize, kInstRomImageSize};
  std::array<std::vector<std::uint8_t>, 3> actual;
  for (std::size_t i = 0; i < 3; ++i) {
    std::optional<std::vector<std::uint8_t>> bytes;
    try {
      bytes = ReadFileWithin(paths[i], sizes[i]);
    } catch (const FileError& e) {
      report.Refusal += std::string(e.what()) + "\n";
      continue;
    }
    if (!bytes || bytes->size() != sizes[i]) {
      // A larger file is not read past the image's size: its size is asked.
      std::error_code ec;
      const std::uintmax_t size = bytes ? bytes->size() : std::filesystem::file_size(paths[i], ec);
      report.Refusal += "\"" + paths[i] + "\" is " + (ec ? std::string("larger") : std::to_string(size) + " bytes") +
                        "; " + (i == 2 ? "an instruction ROM image" : std::string("a ") + kImageNames[i]) + " is " +
                        std::to_string(sizes[i]) + " bytes.\n";
      continue;
    }
    actual[i] = std::move(*bytes);
  }
  if (!report.Refusal.empty()) {
    report.Refusal.pop_back();
    return report;
  }
  // Then the images the project builds, as the export builds them.
  const CartridgeBuild expected = BuildCartridge(ws, choice);
  if (!expected.Built()) {
    report.Refusal = expected.Refusal;
    return report;
  }
  std::array<std::string, 3> names;
  for (std::size_t i = 0; i < 3; ++i) names[i] = FileNamePart(paths[i]);
  return CompareImages(ws, expected, actual, names);
}

std::string VerifyReportText(const VerifyReport& report) {
  if (!report.Refusal.empty()) return report.Refusal + "\n";
  std::string text;
  for (const VerifiedLine& line : report.Lines) {
    text += line.Subject + ":";
    for (std::size_t a = 0; a < line.Areas.size(); ++a) {
      const VerifiedArea& area = line.Areas[a];
      const bool plural = area.Name.back() == 's';
      text += (a ? ", " : " ") + area.Name +
              (area.Matches ? " ok" : std::string(plural ? " differ" : " differs") + " at " + area.Image + " " +
                                          Hex(area.FirstDifference));
    }
    if (!line.Figures.empty()) text += " (" + line.Figures + ")";
    text += "\n";
  }
  text += report.Matches() ? "All three images match the project.\n" : "The images do not match the project.\n";
  return text;
}

}  // namespace korva
