#pragma once
// The project model: sixteen menu slots and the cartridge-wide settings, the
// project file name and the ProjectModified flag, the title character set,
// SanitizeTitle and NewProject.
#include "romlib/ROMInfo.h"
#include "romlib/UserInterface.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

constexpr int BuildNumber = KORVA_BUILD_NUMBER;  // set by the build (CMakeLists.txt)
constexpr int SlotCount = 16;
constexpr std::size_t kTitleMaxLength = 19;     // slot titles and CartTitle
constexpr std::size_t kInstLineMaxLength = 24;  // InstLine1, InstLine2: a text row of the instruction ROM and the menu

// The menu icon names; a slot's Icon is the index 0 to 3.
inline constexpr std::array<std::string_view, 4> IconNames = {"No Icon", "1-Player", "2-Player", "Zapper"};

// The game icon mode names; CartridgeSettings' Icons is the index 0 to 2.
inline constexpr std::array<std::string_view, 3> IconModeNames = {"1 Player", "2 Player", "Lightgun"};

struct Slot {
  int ROMIndex = -1;  // -1 (no ROM) or an index into ROMList
  std::string Title;  // at most 19 characters, upper case
  int Icon = 0;       // index into IconNames
  // While ROMIndex is -1: the CRC-32 of the ROM the slot names that ROMList
  // does not hold (a missing ROM), or 0 for an empty slot. A missing ROM
  // keeps its slot, title and icon: the project file gets its CRC back, and
  // a ROM library that holds it fills the slot in (ReplaceLibrary).
  std::uint32_t MissingCRC = 0;

  bool IsMissing() const { return ROMIndex < 0 && MissingCRC != 0; }
};

struct CartridgeSettings {
  std::string CartTitle;  // at most 19 characters, upper case
  std::string InstLine1;  // at most 24 characters, upper case
  std::string InstLine2;  // at most 24 characters, upper case
  int Icons = 1;          // game icon mode: 0 "1 Player", 1 "2 Player", 2 "Lightgun"
};

struct Project {
  std::array<Slot, SlotCount> Slots{};  // Slots[0] is slot 1
  CartridgeSettings Cartridge;
  std::string ProjectFileName;  // empty until saved or opened
  // Randomize's guard, not a sign of unsaved work: while it is set, Randomize
  // asks before it fills the slots. Every edit in the grid sets it, and so
  // does a save (the writer sets it as it starts, also when the write then
  // fails); NewProject, a completed Open and a completed fill clear it. Only
  // Randomize reads it. Whether work is unsaved is the window's one question
  // of its own: does the project's file text differ from the text last
  // opened or saved (WindowCommands::HasUnsavedChanges)?
  bool ProjectModified = false;

  // Slot n, numbered 1 to 16.
  Slot& slot(int n) { return Slots.at(static_cast<std::size_t>(n - 1)); }
  const Slot& slot(int n) const { return Slots.at(static_cast<std::size_t>(n - 1)); }
};

// The default texts of a new project.
inline constexpr std::string_view kDefaultCartTitle = "GAME PAK: VOLUME 1";
inline constexpr std::string_view kDefaultInstLine1 = "PLAYCHOICE-10 COLLECTION";
inline constexpr std::string_view kDefaultInstLine2 = "   GAME PAK: VOLUME 1   ";
constexpr int kDefaultIcons = 1;

// True when `c` belongs to the title character set: letters, digits, space and
// ! # $ & ' ( ) * + - . / : < = > ?, and the control characters 0x03 (copy),
// 0x08 (backspace) and 0x16 (paste), which the title fields' key filter lets
// through. Everything else (" % , ; @ [ \ ] ^ _ { | } ~ ` 0x7F, other control
// characters, bytes above 0x7F) is not in the set.
bool IsTitleChar(unsigned char c);

// Turns any text into a title: keeps only characters of the title character
// set; when a "(" remains, cuts the text before the first one and trims
// characters up to 0x20 from both ends; keeps the first `maxLength`
// characters; upper-cases a to z.
std::string SanitizeTitle(std::string_view text, std::size_t maxLength);

// SanitizeTitle of `text` with the title set's control characters (0x03,
// 0x08, 0x16) left out first. Titles read from files go through this: XML 1.0
// cannot carry those characters, so a title holding one would be saved without
// it and the next Open, the images and the saved file would disagree.
std::string StorableTitle(std::string_view text, std::size_t maxLength);

// A text as the title fields take it when it is typed or pasted, or given on
// the command line: UTF-8 in, title characters out.
struct CleanedTitle {
  std::string Text;  // printable title characters, a to z upper-cased; not cut to a length
  // The characters the title set could not take (after PlainLetters), each
  // once, in the order they first appear, as UTF-8; blanks and control
  // characters are not listed. A byte that is not UTF-8 is listed as U+FFFD.
  std::vector<std::string> Dropped;
};

// The ASCII form of UTF-8 text, for the title character set: Latin letters
// lose their accents ("é" becomes "e", "Ł" "L"), ligatures and a few letters
// are spelt out ("æ" "ae", "ß" "ss", "þ" "th"), typographic quotes, dashes,
// the ellipsis and full-width forms become their ASCII counterparts, any
// blank or line break becomes a space, and invisible characters (soft hyphen,
// zero-width space, byte order mark) go. Every other character is kept as it
// stands.
std::string PlainLetters(std::string_view utf8);

// PlainLetters of `utf8`, then only the printable title characters kept and
// a to z upper-cased; what was left out is listed in Dropped.
CleanedTitle CleanTitleText(std::string_view utf8);

// Resets the project to the new-project defaults: every slot empty, the
// default cartridge texts, no file name, ProjectModified false; then shows
// "New project created!" for 2 seconds.
void NewProject(Project& project, UserInterface& ui);

// A slot's ROM information: "(PRG %dkb / CHR %dkb)" with both sizes in whole
// kilobytes; empty for the empty record (no ROM).
std::string ROMInfoText(const TROMInfo& rom);

// The program's name and build, "KORVA Builder [Build 12]": what --version
// prints and the window's caption starts with.
std::string VersionText();

// The application title: the program's name, the error box's caption.
inline constexpr std::string_view kApplicationTitle = "KORVA Builder";

}  // namespace korva
