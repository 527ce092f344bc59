// The JSON writer: texts any JSON parser reads back as they were, and the
// layout of nested documents.
#include "cli/JsonWriter.h"

#include <gtest/gtest.h>

#include <sstream>

using korva::cli::JsonWriter;

TEST(JsonWriter, QuotesEscapesAndReplacesWhatIsNotUtf8) {
  const struct {
    std::string text, quoted;
  } cases[] = {
      {"plain", "\"plain\""},
      {"say \"hi\" \\ there", "\"say \\\"hi\\\" \\\\ there\""},
      {"tab\there\nline\rcr", "\"tab\\there\\nline\\rcr\""},
      {std::string("nul\0bell\x07" "esc\x1b", 13), "\"nul\\u0000bell\\u0007esc\\u001B\""},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xae", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xae\""},  // kept as UTF-8
      {"bad \xff end", "\"bad \xef\xbf\xbd end\""},                             // a lone byte
      {"cut \xc3", "\"cut \xef\xbf\xbd\""},                                     // a sequence cut short
      {"over \xc0\xaf", "\"over \xef\xbf\xbd\xef\xbf\xbd\""},                   // an overlong form
      {"surrogate \xed\xa0\x80", "\"surrogate \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},
      {"del \x7f", "\"del \x7f\""},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonWriter::Quoted(c.text), c.quoted) << c.text;
}

TEST(JsonWriter, NestsObjectsAndArraysOneMemberALine) {
  std::ostringstream out;
  JsonWriter json(out);
  json.BeginObject().Member("format", 1).Key("empty").BeginArray().EndArray().Key("slots").BeginArray();
  json.BeginObject().Member("slot", 1).Key("rom").Null().Member("half", true).EndObject();
  json.Number(-5).EndArray().Member("name", "x").EndObject().Finish();
  EXPECT_EQ(out.str(),
            "{\n"
            "  \"format\": 1,\n"
            "  \"empty\": [],\n"
            "  \"slots\": [\n"
            "    {\n"
            "      \"slot\": 1,\n"
            "      \"rom\": null,\n"
            "      \"half\": true\n"
            "    },\n"
            "    -5\n"
            "  ],\n"
            "  \"name\": \"x\"\n"
            "}\n");
}
