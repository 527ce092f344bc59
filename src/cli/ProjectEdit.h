#pragma once
// What the commands that write a project (new, set, slot, randomize) share:
// the cartridge options, the title field filter said in words, loading a
// project to change it and saving it back. Every message goes to stderr,
// prefixed with "korva COMMAND: "; a refusal leaves the file as it was.
#include "project/Workspace.h"
#include "romlib/UserInterface.h"

#include <array>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korva::cli {

// A command line that is wrong (exit status 2): its message, without the usage.
class UsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The words the options take for the game icon mode (Icons 0 to 2) and a
// slot's menu icon (Icon 0 to 3), in the order of the model's names.
inline constexpr std::array<std::string_view, 3> kIconModeWords = {"1-player", "2-player", "lightgun"};
inline constexpr std::array<std::string_view, 4> kIconWords = {"none", "1-player", "2-player", "zapper"};

// The index of `word` in `words`, ignoring case. Raises UsageError naming
// `option` and the words it takes.
int WordIndex(std::string_view option, const std::string& word, std::span<const std::string_view> words);

// The cartridge options of `korva new` and `korva set`.
struct CartridgeOptions {
  std::optional<std::string> Title;  // --title: CartTitle
  std::optional<std::string> Line1;  // --line1: InstLine1
  std::optional<std::string> Line2;  // --line2: InstLine2
  std::optional<int> Icons;          // --icons: the game icon mode
  bool Any() const { return Title || Line1 || Line2 || Icons; }
};

// Takes --title, --line1, --line2 and --icons out of `args`. Raises UsageError
// for a missing value or an --icons word it does not know.
CartridgeOptions TakeCartridgeOptions(std::vector<std::string>& args);

// `text` for a title field of at most `maxLength` characters, as the window's
// field takes it (CleanTitleText). A text the filter would shorten (a
// character outside the title character set, more than `maxLength`
// characters) is refused: nullopt after saying why on stderr. A text it only
// changes (lower-case letters, accents taken off, typographic quotes, control
// characters left out) is taken, and the stored form is said on stderr
// unless -q. `what` names the option ("--title").
std::optional<std::string> FieldText(const char* command, const std::string& what, const std::string& text,
                                     std::size_t maxLength);

// Sets the cartridge fields `options` names through FieldText. False after a
// refusal, with `cartridge` unchanged.
bool ApplyCartridgeOptions(const char* command, const CartridgeOptions& options, CartridgeSettings& cartridge);

// Loads the header database, the ROM database file at `dbPath` and the
// project to change. A ROM database file that does not exist counts as an
// empty list. False after saying why on stderr: a database that cannot be
// used, a project that cannot be read, or one that names a ROM the database
// does not hold in a slot other than `replacedSlot`, whose ROM the command
// replaces anyway (0: none); each such slot is named, the file stays untouched.
bool LoadProjectToEdit(const char* command, const std::string& projectPath, const std::string& dbPath,
                       Workspace& ws, UserInterface& ui, int replacedSlot = 0);

// Writes the project to its file atomically (the replaced file keeps its
// mode). False after saying why on stderr; the old file then stays whole.
bool SaveProject(const char* command, Workspace& ws, UserInterface& ui);

}  // namespace korva::cli
