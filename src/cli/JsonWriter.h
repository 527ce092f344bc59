#pragma once
// A JSON document written as it is built, for the --json output of the
// commands (docs/json.md describes the documents). Objects and arrays are
// opened and closed in order; each value or member goes on a line of its
// own, indented two spaces a level. Texts are written as UTF-8 with the
// escapes JSON requires (quote, backslash, control characters); a byte that
// is not part of well-formed UTF-8 is written as U+FFFD, so the document is
// always valid JSON. The writer does not check the nesting: a caller that
// closes what it did not open writes a broken document.
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace korva::cli {

// The "format" member every document starts with: the version of the shapes
// docs/json.md describes. It changes only when a member is removed or
// changes its meaning; new members may come without it.
inline constexpr int kJsonFormat = 1;

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  // Members of an object are a Key followed by one value.
  JsonWriter& Key(std::string_view name);

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& String(std::string_view text);
  JsonWriter& Number(std::int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // Key and value in one step.
  JsonWriter& Member(std::string_view name, std::string_view text) { return Key(name).String(text); }
  JsonWriter& Member(std::string_view name, const char* text) { return Key(name).String(text); }
  JsonWriter& Member(std::string_view name, std::int64_t value) { return Key(name).Number(value); }
  JsonWriter& Member(std::string_view name, int value) { return Key(name).Number(value); }
  JsonWriter& Member(std::string_view name, bool value) { return Key(name).Bool(value); }

  // Ends the document with a line break and flushes it.
  void Finish();

  // `text` as a JSON string, quotes included.
  static std::string Quoted(std::string_view text);

 private:
  void BeforeValue();
  void Close(char bracket);

  std::ostream& out_;
  std::vector<bool> hasMembers_;  // one per open object or array
  bool afterKey_ = false;
};

}  // namespace korva::cli
