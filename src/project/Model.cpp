#include "project/Model.h"
#include "romlib/FileUtil.h"

#include <cstdio>

namespace korva {

bool IsTitleChar(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case ' ': case '!': case '#': case '$': case '&': case '\'': case '(': case ')': case '*':
    case '+': case '-': case '.': case '/': case ':': case '<': case '=': case '>': case '?':
    case 0x03: case 0x08: case 0x16:
      return true;
    default:
      return false;
  }
}

std::string SanitizeTitle(std::string_view text, std::size_t maxLength) {
  std::string kept;
  kept.reserve(text.size());
  for (char ch : text) {
    if (IsTitleChar(static_cast<unsigned char>(ch))) kept.push_back(ch);
  }
  if (const auto paren = kept.find('('); paren != std::string::npos) {
    kept.erase(paren);
    const auto blank = [](char ch) { return static_cast<unsigned char>(ch) <= 0x20; };
    std::size_t begin = 0, end = kept.size();
    while (begin < end && blank(kept[begin])) ++begin;
    while (end > begin && blank(kept[end - 1])) --end;
    kept = kept.substr(begin, end - begin);
  }
  if (kept.size() > maxLength) kept.resize(maxLength);
  for (char& ch : kept) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  return kept;
}

std::string StorableTitle(std::string_view text, std::size_t maxLength) {
  std::string printable;
  printable.reserve(text.size());
  for (char ch : text) {
    if (static_cast<unsigned char>(ch) >= 0x20) printable.push_back(ch);
  }
  return SanitizeTitle(printable, maxLength);
}

void NewProject(Project& project, UserInterface& ui) {
  for (auto& slot : project.Slots) slot = Slot{};
  project.Cartridge.CartTitle = std::string(kDefaultCartTitle);
  project.Cartridge.InstLine1 = std::string(kDefaultInstLine1);
  project.Cartridge.InstLine2 = std::string(kDefaultInstLine2);
  project.Cartridge.Icons = kDefaultIcons;
  project.ProjectModified = false;
  project.ProjectFileName.clear();
  ui.ShowStatusMessage("New project created!", 2);
}

std::string ROMInfoText(const TROMInfo& rom) {
  if (rom.ListIndex < 0 && rom.Mapper < 0) return {};
  char text[64];
  std::snprintf(text, sizeof text, "(PRG %dkb / CHR %dkb)", rom.PrgRomSize / 1024, rom.ChrRomSize / 1024);
  return text;
}

std::string FileNamePart(std::string_view path) {
  const auto cut = path.find_last_of(kPathSeparator);
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string VersionText() { return std::string(kApplicationTitle) + " [Build " + std::to_string(BuildNumber) + "]"; }

}  // namespace korva
