#pragma once
// The update server's answer: a short text holding the newest build number, a
// comma, and the address of the page from which that build can be had, e.g.
// "13,https://korva-builder.example.org/download". The About box's update check
// reads it with the functions below; they do no input or output of their own.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// An answer that lacks a field the check needs. The message names the index of
// the missing field: "List index out of bounds (1)".
class UpdateAnswerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits an answer into its fields:
//  - characters with codes 1 to 32 before the first field are skipped;
//  - a field that begins with a double quote runs to the matching closing
//    quote, and two double quotes inside stand for one (a quote that is never
//    closed runs to the end of the body);
//  - any other field runs up to the next "," or the next character with a code
//    from 1 to 32;
//  - after a field, characters with codes 1 to 32 are skipped, then one ","
//    and the characters with codes 1 to 32 after it; a "," that is the last
//    character of the body adds an empty last field.
// Spaces, tabs and line breaks therefore separate fields as a comma does, and a
// trailing line break adds nothing. An empty body has no fields.
std::vector<std::string> SplitAnswerFields(std::string_view body);

// `field` as a decimal number (an optional sign and digits, nothing else), or
// 0 when it is not one or does not fit in an int.
int DecimalOrZero(std::string_view field);

struct UpdateAnswer {
  int NewBuild = 0;     // field 0 as a decimal number, 0 when it is not one
  std::string Address;  // field 1, as it stands
};

// Both fields of an answer, taken before anything is compared. Raises
// UpdateAnswerError "List index out of bounds (%d)" when a field is missing:
// 0 for an answer without fields, 1 for an answer of only one.
UpdateAnswer ParseUpdateAnswer(std::string_view body);

// True when `address` is one a web browser may be handed: it starts with
// "http://" or "https://" (the scheme in any case) followed by a host name,
// and holds no character with a code below 33 or of 127.
bool IsWebAddress(std::string_view address);

}  // namespace korva
