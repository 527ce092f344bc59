#include "cli/ProjectEdit.h"

#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "project/Model.h"
#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"
#include "romlib/HeaderDB.h"
#include "romlib/RomDatabase.h"

#include <algorithm>
#include <iostream>

namespace korva::cli {

namespace {

char LowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The dropped characters for a message: "\",\" and \";\"" (a double quote,
// which typographic quotes become, between single quotes).
std::string QuotedList(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i] == "\"" ? "'\"'" : "\"" + items[i] + "\"";
  }
  return text;
}

}  // namespace

int WordIndex(std::string_view option, const std::string& word, std::span<const std::string_view> words) {
  for (std::size_t i = 0; i < words.size(); ++i)
    if (std::equal(word.begin(), word.end(), words[i].begin(), words[i].end(),
                   [](char a, char b) { return LowerCase(a) == b; }))
      return static_cast<int>(i);
  std::string known;
  for (std::string_view w : words) known += (known.empty() ? "" : ", ") + std::string(w);
  throw UsageError(std::string(option) + " takes one of " + known + ", not \"" + word + "\"");
}

CartridgeOptions TakeCartridgeOptions(std::vector<std::string>& args) {
  CartridgeOptions options;
  try {
    options.Title = TakeOption(args, "--title", true);
    options.Line1 = TakeOption(args, "--line1", true);
    options.Line2 = TakeOption(args, "--line2", true);
    if (const auto mode = TakeOption(args, "--icons")) options.Icons = WordIndex("--icons", *mode, kIconModeWords);
  } catch (const UsageError&) {
    throw;
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  return options;
}

std::optional<std::string> FieldText(const char* command, const std::string& what, const std::string& text,
                                     std::size_t maxLength) {
  const CleanedTitle field = CleanTitleText(text);
  const std::string given = "korva " + std::string(command) + ": " + what + " \"" + text + "\": ";
  if (!field.Dropped.empty()) {
    std::cerr << given << QuotedList(field.Dropped) << (field.Dropped.size() == 1 ? " is" : " are")
              << " not in the title character set (letters, digits, space and ! # $ & ' ( ) * + - . / : < = > ?); "
                 "nothing was changed\n";
    return std::nullopt;
  }
  if (field.Text.size() > maxLength) {
    std::cerr << given << field.Text.size() << " characters, but the field holds at most " << maxLength
              << "; nothing was changed\n";
    return std::nullopt;
  }
  if (field.Text != text) Notes() << "korva " << command << ": " << what << " stored as \"" << field.Text << "\"\n";
  return field.Text;
}

bool ApplyCartridgeOptions(const char* command, const CartridgeOptions& options, CartridgeSettings& cartridge) {
  CartridgeSettings changed = cartridge;
  const struct {
    const char* option;
    const std::optional<std::string>& text;
    std::string& field;
    std::size_t maxLength;
  } texts[] = {{"--title", options.Title, changed.CartTitle, kTitleMaxLength},
               {"--line1", options.Line1, changed.InstLine1, kInstLineMaxLength},
               {"--line2", options.Line2, changed.InstLine2, kInstLineMaxLength}};
  bool ok = true;
  for (const auto& t : texts) {
    if (!t.text) continue;
    const std::optional<std::string> kept = FieldText(command, t.option, *t.text, t.maxLength);
    if (kept) t.field = *kept;
    ok = ok && kept.has_value();
  }
  if (!ok) return false;
  if (options.Icons) changed.Icons = *options.Icons;
  cartridge = changed;
  return true;
}

bool LoadProjectToEdit(const char* command, const std::string& projectPath, const std::string& dbPath,
                       Workspace& ws, UserInterface& ui, int replacedSlot) {
  const std::string prefix = "korva " + std::string(command) + ": ";
  ws.HeaderDB = LoadHeaderDatabase(ui);
  RomDatabaseLoad load = LoadRomDatabase(dbPath, ws.HeaderDB);
  if (load.Status == RomDatabaseStatus::Unusable) {
    std::cerr << prefix << load.Problem << "; scan the ROM directory again (\"korva scan DIR\") to write it anew\n";
    return false;
  }
  ws.Library = std::move(load.Library);
  ws.DatabasePath = dbPath;
  try {
    ws.Proj = ReadProjectFile(projectPath, ws.Library);
  } catch (const ProjectFileError& e) {
    std::cerr << prefix << "cannot load project " << projectPath << ": " << e.what() << "\n";
    return false;
  } catch (const FileError& e) {
    std::cerr << prefix << e.what() << "\n";
    return false;
  }
  ui.ShowStatusMessage("Loaded project: " + FileNamePart(projectPath), 5);
  int missing = 0;
  for (int n = 1; n <= SlotCount; ++n) {
    const Slot& slot = ws.Proj.slot(n);
    if (!slot.IsMissing() || n == replacedSlot) continue;
    ++missing;
    if (load.Status == RomDatabaseStatus::Missing) continue;  // one line below says why, not sixteen
    std::cerr << prefix << "slot " << n << (slot.Title.empty() ? "" : " \"" + slot.Title + "\"") << " holds the ROM "
              << CrcText(slot.MissingCRC) << ", which is not in the ROM database\n";
  }
  if (missing == 0) return true;
  std::cerr << prefix << "nothing was changed: the project is edited against the ROM database that holds its ROMs; "
            << (load.Status == RomDatabaseStatus::Missing
                    ? "there is no ROM database file " + dbPath + ": " + MissingDatabaseAdvice(dbPath, projectPath)
                    : "scan the ROM directory again (\"korva scan DIR\") or name the right database with --db")
            << "\n";
  return false;
}

bool SaveProject(const char* command, Workspace& ws, UserInterface& ui) {
  try {
    WriteProjectFile(ws, ws.Proj.ProjectFileName, ui);
  } catch (const FileError& e) {
    std::cerr << "korva " << command << ": " << e.what() << "; nothing was written\n";
    return false;
  }
  return true;
}

}  // namespace korva::cli
