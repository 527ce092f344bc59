#include "about/UpdateAnswer.h"

#include "romlib/NumberText.h"


namespace korva {
namespace {

// Codes 1 to 32 separate fields; a NUL byte does not.
bool IsBlank(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> SplitAnswerFields(std::string_view body) {
  std::vector<std::string> fields;
  std::size_t pos = 0;
  const std::size_t end = body.size();
  while (pos < end && IsBlank(body[pos])) ++pos;

  while (pos < end) {
    std::string field;
    if (body[pos] == '"') {
      ++pos;
      while (pos < end) {
        if (body[pos] == '"') {
          if (pos + 1 < end && body[pos + 1] == '"') {
            field += '"';
            pos += 2;
            continue;
          }
          ++pos;  // the closing quote
          break;
        }
        field += body[pos++];
      }
    } else {
      const std::size_t start = pos;
      while (pos < end && body[pos] != ',' && !IsBlank(body[pos])) ++pos;
      field.assign(body.substr(start, pos - start));
    }
    fields.push_back(std::move(field));

    while (pos < end && IsBlank(body[pos])) ++pos;
    if (pos < end && body[pos] == ',') {
      if (pos + 1 == end) fields.emplace_back();
      ++pos;
      while (pos < end && IsBlank(body[pos])) ++pos;
    }
  }
  return fields;
}

int DecimalOrZero(std::string_view field) { return ParseDecimal(field).value_or(0); }

UpdateAnswer ParseUpdateAnswer(std::string_view body) {
  const std::vector<std::string> fields = SplitAnswerFields(body);
  if (fields.size() < 2) {
    throw UpdateAnswerError("List index out of bounds (" + std::to_string(fields.size()) + ")");
  }
  UpdateAnswer answer;
  answer.NewBuild = DecimalOrZero(fields[0]);
  answer.Address = fields[1];
  return answer;
}

bool IsWebAddress(std::string_view address) {
  std::string_view rest;
  if (StartsWithNoCase(address, "http://")) {
    rest = address.substr(7);
  } else if (StartsWithNoCase(address, "https://")) {
    rest = address.substr(8);
  } else {
    return false;
  }
  for (const char c : address) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 33 || code == 127) return false;
  }
  // A host name must follow the scheme: not empty and not a path, query or
  // fragment straight away.
  return !rest.empty() && rest.front() != '/' && rest.front() != '?' && rest.front() != '#' &&
         rest.front() != '@' && rest.front() != ':';
}

}  // namespace korva
