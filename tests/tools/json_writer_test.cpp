#include "tools/json_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/text_writer.h"
#include "tools/tool.h"
#include "json_test_reader.h"

namespace qv::tools {
namespace {

using testing::JsonReader;
using testing::JsonValue;

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

TEST(JsonStringTest, EveryByteRoundTripsThroughPlainAscii) {
  const std::string bytes = AllBytes() + AllBytes();
  std::string json;
  AppendJsonString(json, bytes);
  for (char c : json) {
    const unsigned char b = static_cast<unsigned char>(c);
    ASSERT_TRUE(b >= 0x20 && b < 0x7F) << "byte " << int(b) << " written raw";
  }
  JsonValue value;
  ASSERT_TRUE(JsonReader::Parse(json, &value)) << json;
  EXPECT_EQ(value.text, bytes);
  // High bytes are characters of the same number, not UTF-8 sequences.
  EXPECT_NE(json.find("\\u00e9"), std::string::npos);
  EXPECT_NE(json.find("\\u0000"), std::string::npos);
  EXPECT_NE(json.find("\\\""), std::string::npos);
  EXPECT_NE(json.find("\\\\"), std::string::npos);
}

TEST(JsonWriterTest, NestedDocumentParsesBackPrettyAndCompact) {
  for (bool pretty : {true, false}) {
    JsonWriter w(pretty);
    w.BeginObject()
        .StringField("s", "a\"b\n\xff")
        .IntField("n", -42)
        .BoolField("t", true)
        .BoolField("f", false)
        .NullField("z")
        .Key("empty_array")
        .BeginArray()
        .EndArray()
        .Key("empty_object")
        .BeginObject()
        .EndObject()
        .Key("list")
        .BeginArray()
        .Int(1)
        .BeginObject()
        .StringField("k", "v")
        .EndObject()
        .BeginArray()
        .String("x")
        .EndArray()
        .EndArray()
        .EndObject();
    JsonValue v;
    ASSERT_TRUE(JsonReader::Parse(w.Text(), &v)) << w.Text();
    EXPECT_EQ(v["s"].text, "a\"b\n\xff");
    EXPECT_EQ(v["n"].number, -42);
    EXPECT_TRUE(v["t"].boolean);
    EXPECT_EQ(v["f"].type, JsonValue::kBool);
    EXPECT_FALSE(v["f"].boolean);
    EXPECT_EQ(v["z"].type, JsonValue::kNull);
    EXPECT_EQ(v["empty_array"].type, JsonValue::kArray);
    EXPECT_EQ(v["empty_array"].size(), 0u);
    EXPECT_EQ(v["empty_object"].type, JsonValue::kObject);
    ASSERT_EQ(v["list"].size(), 3u);
    EXPECT_EQ(v["list"][1]["k"].text, "v");
    EXPECT_EQ(v["list"][2][0].text, "x");
    EXPECT_EQ(pretty, w.Text().find('\n') != std::string::npos);
  }
}

TEST(JsonWriterTest, DeepNestingStaysLinearInSize) {
  constexpr int kDepth = 100000;
  JsonWriter w;
  for (int i = 0; i < kDepth; ++i) w.BeginArray().Int(i);
  for (int i = 0; i < kDepth; ++i) w.EndArray();
  // Indentation is capped, so each level costs a bounded number of bytes.
  EXPECT_LT(w.Text().size(), size_t{kDepth} * (6 * kMaxIndentLevels + 40));
  EXPECT_EQ(w.Text().substr(0, 4), "[\n  ");
  EXPECT_EQ(w.Text().back(), '\n');
}

TEST(TextWriterTest, ReadableShape) {
  TextWriter w;
  w.BeginObject()
      .BoolField("ok", true)
      .Key("messages")
      .BeginArray()
      .EndArray()
      .Key("items")
      .BeginArray()
      .BeginObject()
      .IntField("kind", 2)
      .StringField("caption", "Go\t\"now\"")
      .Key("widths")
      .BeginArray()
      .Int(10)
      .Int(20)
      .EndArray()
      .EndObject()
      .String("plain")
      .BeginArray()
      .EndArray()
      .EndArray()
      .Key("long")
      .BeginArray()
      .String(std::string(40, 'a'))
      .String(std::string(40, 'b'))
      .EndArray()
      .Key("settings")
      .BeginObject()
      .NullField("none")
      .EndObject()
      .EndObject();
  EXPECT_EQ(w.Text(),
            "ok: true\n"
            "messages: []\n"
            "items:\n"
            "  - kind: 2\n"
            "    caption: \"Go\\t\\\"now\\\"\"\n"
            "    widths: [10, 20]\n"
            "  - \"plain\"\n"
            "  - []\n"
            "long:\n"
            "  - \"" +
                std::string(40, 'a') +
                "\"\n"
                "  - \"" +
                std::string(40, 'b') +
                "\"\n"
                "settings:\n"
                "  none: null\n");
}

TEST(QuotedTest, EscapesControlCharactersAndKeepsOtherBytes) {
  EXPECT_EQ(Quoted(std::string("a\\b\x01\x7f\xe9", 6)), "\"a\\\\b\\x01\\x7f\xe9\"");
}

}  // namespace
}  // namespace qv::tools
