#include "cli/JsonWriter.h"

#include "romlib/Utf8.h"

#include <cstdio>

namespace korva::cli {

std::string JsonWriter::Quoted(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t start = i;
      if (NextCodePoint(text, i) == kNotUtf8) out += "\xEF\xBF\xBD";  // U+FFFD
      else out += text.substr(start, i - start);
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  return out + "\"";
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (hasMembers_.empty()) return;
  if (hasMembers_.back()) out_ << ",";
  hasMembers_.back() = true;
  out_ << "\n" << std::string(2 * hasMembers_.size(), ' ');
}

JsonWriter& JsonWriter::Key(std::string_view name) {
  BeforeValue();
  out_ << Quoted(name) << ": ";
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::BeginObject() {
  BeforeValue();
  out_ << "{";
  hasMembers_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  BeforeValue();
  out_ << "[";
  hasMembers_.push_back(false);
  return *this;
}

void JsonWriter::Close(char bracket) {
  const bool members = hasMembers_.back();
  hasMembers_.pop_back();
  if (members) out_ << "\n" << std::string(2 * hasMembers_.size(), ' ');
  out_ << bracket;
}

JsonWriter& JsonWriter::EndObject() {
  Close('}');
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  Close(']');
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
  BeforeValue();
  out_ << Quoted(text);
  return *this;
}

JsonWriter& JsonWriter::Number(std::int64_t value) {
  BeforeValue();
  out_ << value;
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
  return *this;
}

void JsonWriter::Finish() { out_ << "\n" << std::flush; }

}  // namespace korva::cli
