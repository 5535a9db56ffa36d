#include "output/json_writer.h"

#include <gtest/gtest.h>

#include <limits>

namespace sarn {
namespace {

TEST(JsonWriter, NestsObjectsAndArraysWithCommas) {
  JsonWriter json;
  json.BeginObject()
      .Key("name")
      .String("硬銅より線 \"22\"\n")
      .Key("values")
      .BeginArray()
      .Integer(1)
      .Number(2.5)
      .Null()
      .Bool(true)
      .EndArray()
      .Key("nested")
      .BeginObject()
      .Key("x")
      .Number(std::optional<double>())
      .EndObject()
      .EndObject();
  EXPECT_EQ(json.str(),
            "{\"name\":\"硬銅より線 \\\"22\\\"\\n\",\"values\":[1,2.5,null,true],"
            "\"nested\":{\"x\":null}}");
}

TEST(JsonWriter, NonFiniteNumbersBecomeNull) {
  JsonWriter json;
  json.BeginArray()
      .Number(std::numeric_limits<double>::quiet_NaN())
      .Number(std::numeric_limits<float>::infinity())
      .EndArray();
  EXPECT_EQ(json.str(), "[null,null]");
}

TEST(JsonWriter, FloatsUseTheirShortestText) {
  JsonWriter json;
  json.BeginArray().Number(2234.208f).Number(0.1f).EndArray();
  EXPECT_EQ(json.str(), "[2234.208,0.1]");
}

TEST(JsonEscape, EscapesControlCharacters) {
  EXPECT_EQ(JsonEscape("a\x01z"), "a\\u0001z");
}

}  // namespace
}  // namespace sarn
