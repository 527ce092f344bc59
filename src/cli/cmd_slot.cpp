// korva slot PROJECT.korva N [--rom NAME|CRC32] [--title T] [--icon ICON]
// [--clear] [--db PATH]: changes slot N of a project and saves it. --clear
// empties the slot first; a ROM is chosen as in the window's slot list (its
// title becomes the sanitised ROM name) unless --title names one; the icon
// comes last.
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "cli/ProjectEdit.h"
#include "project/Model.h"
#include "project/ProjectCommands.h"
#include "romlib/NumberText.h"

#include <algorithm>
#include <iostream>

namespace korva::cli {

namespace {

constexpr const char* kArgs =
    "PROJECT.korva N [--rom NAME|CRC32] [--title T] [--icon none|1-player|2-player|zapper] [--clear] [--db PATH]";

// How many candidates a refused name lists.
constexpr std::size_t kCandidatesShown = 10;

struct SlotOptions {
  int Number = 0;
  std::optional<std::string> Rom;
  std::optional<std::string> Title;
  std::optional<int> Icon;
  bool Clear = false;
};

int SlotNumber(const std::string& text) {
  const std::optional<std::int32_t> n = ParseDecimal(text);
  if (!n || *n < 1 || *n > SlotCount) throw UsageError("the slot number is 1 to 16, not \"" + text + "\"");
  return *n;
}

// The ROM `name` names, or -1 after saying on stderr why there is none,
// with up to ten names it could have meant.
int ChosenRom(const RomLibrary& library, const std::string& name, const std::string& dbPath) {
  const ROMMatch match = MatchROMName(library, name);
  if (match.Index >= 0) return match.Index;
  std::cerr << "korva slot: --rom \"" << name << "\" ";
  if (match.Ambiguous)
    std::cerr << "could mean " << match.Candidates.size() << " ROMs; give the whole name or the CRC-32:\n";
  else if (library.ROMList.empty())
    std::cerr << "names no ROM: the ROM database " << dbPath << " holds none\n";
  else
    std::cerr << "is not the name or CRC-32 of a ROM in the ROM database " << dbPath
              << (match.Candidates.empty() ? " (\"korva list\" lists them)\n" : "; names that contain it:\n");
  for (std::size_t i = 0; i < match.Candidates.size() && i < kCandidatesShown; ++i) {
    const auto at = static_cast<std::size_t>(match.Candidates[i]);
    std::cerr << "  " << CrcText(library.ROMList[at].CRC32) << "  " << library.ROMNames[at] << "\n";
  }
  if (match.Candidates.size() > kCandidatesShown)
    std::cerr << "  and " << match.Candidates.size() - kCandidatesShown << " more\n";
  std::cerr << "korva slot: nothing was changed\n";
  return -1;
}

int RunSlot(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> rest = rawArgs;
  SlotOptions options;
  DbArgs args;
  try {
    options.Rom = TakeOption(rest, "--rom");
    options.Title = TakeOption(rest, "--title", true);
    if (const auto icon = TakeOption(rest, "--icon")) options.Icon = WordIndex("--icon", *icon, kIconWords);
    const auto clear = std::find(rest.begin(), rest.end(), "--clear");
    if ((options.Clear = clear != rest.end())) rest.erase(clear);
    args = ParseDbArgs(rest);
    for (const std::string& a : args.Positional)
      if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) throw UsageError("unknown option " + a);
    if (args.Positional.size() != 2) throw UsageError("give the project file and a slot number");
    options.Number = SlotNumber(args.Positional[1]);
    if (!options.Rom && !options.Title && !options.Icon && !options.Clear)
      throw UsageError("nothing to change: give --rom, --title, --icon or --clear");
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva slot: " << e.what() << "\nusage: korva slot " << kArgs << "\n";
    return 2;
  }
  ConsoleUI ui;
  Workspace ws;
  // A slot whose ROM the database lacks may still be given another ROM or cleared.
  const int replaced = options.Clear || options.Rom ? options.Number : 0;
  if (!LoadProjectToEdit("slot", args.Positional[0], DatabasePathOf(args), ws, ui, replaced)) return 1;
  const int n = options.Number;
  Slot& slot = ws.Proj.slot(n);
  if (options.Clear) slot = Slot{};
  if (options.Rom) {
    const int index = ChosenRom(ws.Library, *options.Rom, DatabasePathOf(args));
    if (index < 0) return 1;
    ChooseSlotROM(ws.Proj, ws.Library, n, index);
  }
  if (options.Title) {
    const auto title = FieldText("slot", "--title", *options.Title, kTitleMaxLength);
    if (!title) return 1;
    slot.Title = *title;
  }
  if (options.Icon) slot.Icon = *options.Icon;
  if (!SaveProject("slot", ws, ui)) return 1;
  // The title the ROM gave is told only once it is stored.
  if (options.Rom && !options.Title)
    Notes() << "korva slot: slot " << n << " title \"" << slot.Title << "\", from the ROM name \""
            << ws.Library.ROMNames[static_cast<std::size_t>(slot.ROMIndex)] << "\"\n";
  return 0;
}
}  // namespace

const Command kSlotCommand{"slot", kArgs,
                           "change slot N (1 to 16) of a project: its ROM (by name or CRC-32), menu title or icon",
                           &RunSlot};

}  // namespace korva::cli
