#pragma once
// Verifying a set of images against its project: the files the export wrote,
// or three files read back from burnt chips. The expected images are built
// exactly as the export builds them (BuildCartridge: every game read and
// checked), then every byte of each image is compared and each difference
// is put down to the area it lies in: a slot's PRG or CHR, the menu
// program's instruction lines, titles or slot table, the rest of the menu
// program, the menu's characters, the instruction ROM's texts, checksum and
// template, or the 0xFF padding.
#include "builder/Export.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace korva {

// One area of an image, and whether it holds what it should.
struct VerifiedArea {
  std::string Name;                // "PRG", "titles", "padding"...
  std::string Image;               // "PRG image", "CHR image" or "instruction ROM"
  bool Matches = true;
  std::size_t FirstDifference = 0; // offset in the image, when it does not match
};

// One line of the result: a slot ("slot 7 CASTLE CLIMBER") or an image
// ("PRG image demo-prg.bin") with its areas in a fixed order.
struct VerifiedLine {
  std::string Subject;
  std::vector<VerifiedArea> Areas;
  std::string Figures;  // an image's CRC-32 and byte sum as read (FiguresText); empty for a slot
  ImageFigures Read{};  // the same figures as numbers; zero for a slot
  bool Matches() const;
};

// The whole result: either a refusal (the check could not be made: a file
// that cannot be read, one of the wrong size, a project the export refuses)
// or sixteen slot lines and three image lines.
struct VerifyReport {
  std::string Refusal;
  std::vector<VerifiedLine> Lines;
  bool Matches() const;
};

// The three images beside a project file, in the order PRG, CHR,
// instruction ROM (ImagePaths of its base path).
std::array<std::string, 3> ExportedImagePaths(const std::string& projectFile);

// Compares the files at `paths` (PRG, CHR, instruction ROM) with the images
// the project of `ws` builds with `choice`. The files are read first, each
// no further than its image's size: a file of another size is refused with
// the size expected, before any ROM is read. Writes nothing, shows nothing.
VerifyReport VerifyImages(const Workspace& ws, const TemplateChoice& choice, const std::array<std::string, 3>& paths);

// The comparison alone, of `actual` with `expected` (three images each, of
// the right sizes; `expected` built from `ws`), naming each image line after
// `names`.
VerifyReport CompareImages(const Workspace& ws, const CartridgeBuild& expected,
                           const std::array<std::vector<std::uint8_t>, 3>& actual,
                           const std::array<std::string, 3>& names);

// The report as the user reads it, one line per slot and per image ("slot 7
// CASTLE CLIMBER: PRG ok, CHR differs at CHR image 0x31A40"), then a last
// line that says whether all match; or the refusal.
std::string VerifyReportText(const VerifyReport& report);

}  // namespace korva
