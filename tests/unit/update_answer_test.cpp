// The update server's answer: how it is split into fields and read.
#include "about/UpdateAnswer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using korva::DecimalOrZero;
using korva::IsWebAddress;
using korva::ParseUpdateAnswer;
using korva::SplitAnswerFields;
using korva::UpdateAnswerError;
using Fields = std::vector<std::string>;

TEST(UpdateAnswerSplit, CommaSeparatesBuildAndAddress) {
  EXPECT_EQ(SplitAnswerFields("13,https://example.org/get"), (Fields{"13", "https://example.org/get"}));
}

TEST(UpdateAnswerSplit, BlanksSeparateFieldsAsACommaDoes) {
  const Fields expected{"13", "https://example.org/get"};
  EXPECT_EQ(SplitAnswerFields("13 https://example.org/get"), expected);
  EXPECT_EQ(SplitAnswerFields("13\r\nhttps://example.org/get"), expected);
  EXPECT_EQ(SplitAnswerFields("13\thttps://example.org/get"), expected);
  EXPECT_EQ(SplitAnswerFields("13 , \r\n https://example.org/get"), expected);
  // A blank and then a comma make one separator, not two.
  EXPECT_EQ(SplitAnswerFields("13 ,https://example.org/get"), expected);
}

TEST(UpdateAnswerSplit, LeadingAndTrailingBlanksAddNothing) {
  const Fields expected{"13", "https://example.org/get"};
  EXPECT_EQ(SplitAnswerFields("13,https://example.org/get\r\n"), expected);
  EXPECT_EQ(SplitAnswerFields("\r\n \t13,https://example.org/get\n\n"), expected);
  // Every code from 1 to 32 is a blank.
  EXPECT_EQ(SplitAnswerFields("\x01\x1f" "13\x05https://example.org/get\x20"), expected);
}

TEST(UpdateAnswerSplit, EmptyAndBlankBodiesHaveNoFields) {
  EXPECT_TRUE(SplitAnswerFields("").empty());
  EXPECT_TRUE(SplitAnswerFields(" \r\n\t").empty());
}

TEST(UpdateAnswerSplit, CommasMakeEmptyFields) {
  EXPECT_EQ(SplitAnswerFields(","), (Fields{"", ""}));
  EXPECT_EQ(SplitAnswerFields("13,"), (Fields{"13", ""}));
  EXPECT_EQ(SplitAnswerFields("13,,x"), (Fields{"13", "", "x"}));
  // Only a comma that is the very last character adds an empty last field.
  EXPECT_EQ(SplitAnswerFields("13, "), (Fields{"13"}));
  EXPECT_EQ(SplitAnswerFields(",13"), (Fields{"", "13"}));
}

TEST(UpdateAnswerSplit, QuotedFieldsKeepBlanksCommasAndDoubledQuotes) {
  EXPECT_EQ(SplitAnswerFields("\"1 3\",\"a,b\""), (Fields{"1 3", "a,b"}));
  EXPECT_EQ(SplitAnswerFields("\"say \"\"hi\"\"\",x"), (Fields{"say \"hi\"", "x"}));
  EXPECT_EQ(SplitAnswerFields("\"\",x"), (Fields{"", "x"}));
  // Text straight after a closing quote starts the next field.
  EXPECT_EQ(SplitAnswerFields("\"ab\"cd,ef"), (Fields{"ab", "cd", "ef"}));
  // A quote that is never closed runs to the end of the body.
  EXPECT_EQ(SplitAnswerFields("13,\"open, to the end\r\n"), (Fields{"13", "open, to the end\r\n"}));
  EXPECT_EQ(SplitAnswerFields("\""), (Fields{""}));
}

TEST(UpdateAnswerSplit, NulByteIsPartOfAField) {
  const std::string body("13\0x,y", 6);
  EXPECT_EQ(SplitAnswerFields(body), (Fields{std::string("13\0x", 4), "y"}));
}

TEST(UpdateAnswerSplit, HtmlErrorPageIsSplitLikeAnyBody) {
  const Fields fields = SplitAnswerFields(
      "<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head>\n"
      "<body><h1>Not Found</h1></body></html>\n");
  ASSERT_GE(fields.size(), 2u);
  EXPECT_EQ(fields[0], "<!DOCTYPE");
  EXPECT_EQ(fields[1], "html>");
}

TEST(UpdateAnswerNumber, DecimalNumbersAndEverythingElse) {
  EXPECT_EQ(DecimalOrZero("13"), 13);
  EXPECT_EQ(DecimalOrZero("013"), 13);
  EXPECT_EQ(DecimalOrZero("+13"), 13);
  EXPECT_EQ(DecimalOrZero("-5"), -5);
  EXPECT_EQ(DecimalOrZero("2147483647"), 2147483647);
  for (const char* notANumber : {"", "+", "-", "+-5", "++5", "13a", "1.5", "$0D", "0x0D", "v13", "thirteen",
                                 "2147483648", "99999999999999999999"}) {
    EXPECT_EQ(DecimalOrZero(notANumber), 0) << '"' << notANumber << '"';
  }
}

TEST(UpdateAnswerParse, TakesBuildAndAddress) {
  const auto answer = ParseUpdateAnswer("13,https://example.org/get\r\n");
  EXPECT_EQ(answer.NewBuild, 13);
  EXPECT_EQ(answer.Address, "https://example.org/get");
}

TEST(UpdateAnswerParse, NonNumberBuildIsZeroButAddressIsStillTaken) {
  const auto answer = ParseUpdateAnswer("latest,https://example.org/get");
  EXPECT_EQ(answer.NewBuild, 0);
  EXPECT_EQ(answer.Address, "https://example.org/get");
}

TEST(UpdateAnswerParse, MissingFieldNamesItsIndex) {
  auto messageOf = [](const std::string& body) {
    try {
      ParseUpdateAnswer(body);
    } catch (const UpdateAnswerError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(messageOf(""), "List index out of bounds (0)");
  EXPECT_EQ(messageOf("\r\n"), "List index out of bounds (0)");
  EXPECT_EQ(messageOf("13"), "List index out of bounds (1)");
  EXPECT_EQ(messageOf("13\r\n"), "List index out of bounds (1)");
  EXPECT_EQ(messageOf("13, "), "List index out of bounds (1)");
  EXPECT_EQ(messageOf("13,"), "no error");  // an empty address is a field
}

TEST(UpdateAnswerAddress, OnlyHttpAndHttpsWithAHost) {
  for (const char* good : {"http://example.org", "https://example.org/get?x=1", "HTTPS://Example.org/",
                           "http://127.0.0.1:8080/a"}) {
    EXPECT_TRUE(IsWebAddress(good)) << good;
  }
  for (const char* bad : {"", "http://", "https://", "https:///path", "file:///etc/passwd", "ftp://example.org",
                          "javascript:alert(1)", "mailto:a@example.org", "example.org", "http:/example.org",
                          "httpx://example.org", "C:\\Windows\\calc.exe", "https://exa mple.org",
                          "https://example.org/\n", "https://example.org/\x7f", " https://example.org"}) {
    EXPECT_FALSE(IsWebAddress(bad)) << bad;
  }
}
