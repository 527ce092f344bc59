// Splits arbitrary bytes as the update server's answer and takes its two
// fields. Only UpdateAnswerError may come out, and only for an answer of
// fewer than two fields; an address judged a web address has no blank.
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "about/UpdateAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body = korva::fuzz::AsText(data, size);
  const std::vector<std::string> fields = korva::SplitAnswerFields(body);
  for (const std::string& field : fields) korva::DecimalOrZero(field);
  try {
    const korva::UpdateAnswer answer = korva::ParseUpdateAnswer(body);
    if (fields.size() < 2 || answer.Address != fields[1]) std::abort();
    if (korva::IsWebAddress(answer.Address) && answer.Address.find_first_of(" \t\r\n") != std::string::npos)
      std::abort();
  } catch (const korva::UpdateAnswerError&) {
    if (fields.size() >= 2) std::abort();
  }
  return 0;
}
