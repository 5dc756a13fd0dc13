#include "api/json_writer.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace varbex {
namespace {

using nlohmann::json;

// What nlohmann::json writes for the value, compact, UTF-8 kept, invalid UTF-8 refused.
std::string dumped(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::strict);
}

template <typename Value>
std::string written(const Value& value) {
  std::string text;
  JsonWriter out(text);
  out.value(value);
  return text;
}

TEST(JsonWriterTest, NumbersAreWrittenAsTheJsonLibraryWritesThem) {
  const double numbers[] = {0.0,
                            -0.0,
                            1.0,
                            -5.0,
                            0.1,
                            1.0 / 3.0,
                            123456789.123,
                            1e21,
                            1e22,
                            1e-7,
                            5e-324,
                            2.2250738585072014e-308,
                            1.7976931348623157e308,
                            9007199254740993.0,
                            std::nan(""),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity()};
  for (const double number : numbers) {
    SCOPED_TRACE(number);
    EXPECT_EQ(written(number), dumped(json(number)));
  }
  const std::int64_t integers[] = {0, 7, -7, std::numeric_limits<std::int64_t>::min(),
                                   std::numeric_limits<std::int64_t>::max()};
  for (const std::int64_t number : integers) EXPECT_EQ(written(number), dumped(json(number)));
  const std::uint64_t sizes[] = {0, 42, std::numeric_limits<std::uint64_t>::max()};
  for (const std::uint64_t number : sizes) EXPECT_EQ(written(number), dumped(json(number)));
  EXPECT_EQ(written(std::int32_t{-2147483647 - 1}), dumped(json(std::int32_t{-2147483647 - 1})));
}

TEST(JsonWriterTest, TextIsEscapedAsTheJsonLibraryEscapesIt) {
  std::string everyControl;
  for (int c = 0; c < 0x20; ++c) everyControl.push_back(static_cast<char>(c));
  const std::vector<std::string> texts = {
      "",
      "plain",
      "quote \" and backslash \\ and slash /",
      everyControl,
      "delete \x7f stays",
      "\xc3\xa9t\xc3\xa9",                     // two-byte sequences
      "\xe2\x82\xac 20",                       // three bytes
      "\xf0\x9f\x93\xa6 box",                  // four bytes
      "\xed\x9f\xbf and \xef\xbf\xbf",         // just below the surrogates, the last of the plane
      "\xf4\x8f\xbf\xbf",                      // U+10FFFF
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(written(text), dumped(json(text)));
  }
}

TEST(JsonWriterTest, TextThatIsNotUtf8IsRefused) {
  const std::vector<std::string> texts = {
      "\xff",          "\xc3",         "\xc0\xaf",  // a lone byte, a cut sequence, an overlong form
      "\xe0\x80\xaf",  "\xed\xa0\x80",              // overlong, a surrogate
      "\xf4\x90\x80\x80", "\xf0\x9f\x93",            // beyond U+10FFFF, cut
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    EXPECT_THROW(dumped(json(text)), json::type_error);
    EXPECT_THROW(written(text), std::invalid_argument);
  }
}

TEST(JsonWriterTest, NestedContainersMatchTheDumpOfTheSameValue) {
  std::string text;
  JsonWriter out(text);
  out.beginObject();
  out.key("a");
  out.beginArray();
  out.endArray();
  out.key("b");
  out.beginArray();
  out.value(std::int64_t{1});
  out.beginObject();
  out.endObject();
  out.beginObject();
  out.key("c");
  out.null();
  out.key("d");
  out.value(true);
  out.endObject();
  out.value("e");
  out.endArray();
  out.key("f");
  out.value(false);
  out.endObject();
  const json same = {{"a", json::array()},
                     {"b", {1, json::object(), {{"c", nullptr}, {"d", true}}, "e"}},
                     {"f", false}};
  EXPECT_EQ(text, dumped(same));
}

}  // namespace
}  // namespace varbex
