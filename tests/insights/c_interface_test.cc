// The exported C interface of the insights: exactly its two functions, the document of the shared
// fixture, and the error envelope for what cannot be read.
#include "varbex_insights.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string fixture(const char* name) {
  return fileText(std::string(VARBEX_SOURCE_DIR) + "/tests/insights/" + name);
}

std::string insights(const char* request, const char* response) {
  const std::unique_ptr<char, void (*)(char*)> block(varbex_insights(request, response),
                                                     varbex_insights_free);
  return block ? block.get() : "";
}

TEST(InsightsInterfaceTest, ExportsItsTwoFunctionsOnly) {
  const std::string command = "nm -D --defined-only '" + std::string(VARBEX_INSIGHTS_LIBRARY) + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string entry(line);
    const auto type = entry.find(' ', entry.find(' ') + 1);
    if (entry.compare(entry.find(' ') + 1, 1, "T") == 0) names += entry.substr(type + 1);
  }
  pclose(pipe);
  EXPECT_EQ(names, "varbex_insights\nvarbex_insights_free\n");
}

TEST(InsightsInterfaceTest, FixtureDocument) {
  const std::string expected = fixture("stack_insights.json");
  EXPECT_EQ(insights(fixture("stack_request.json").c_str(), fixture("stack_response.json").c_str()),
            expected.substr(0, expected.find_last_not_of('\n') + 1));
}

TEST(InsightsInterfaceTest, UnreadableInputGivesTheEnvelope) {
  EXPECT_EQ(insights("[1", "{}").rfind(R"({"error":"request: [json.exception.parse_error.)", 0), 0u);
  EXPECT_EQ(insights(R"({"items":[{"Width":1}]})", "{}"),
            R"({"error":"request: item is missing required field 'ItemCode'","success":false})");
  EXPECT_EQ(insights(nullptr, R"({"error":"x","success":false})"),
            R"({"error":"response: it is an error envelope: x","success":false})");
  EXPECT_EQ(insights(nullptr, nullptr), R"({"error":"response: the response has no \"boxes\"","success":false})");
  EXPECT_EQ(insights(R"({"items":[{"ItemCode":"A","Width":1,"Length":1,"Depth":1}]})",
                     R"({"boxes":[],"unplaced_items":[]})"),
            R"({"error":"response: it places 0 and leaves 0 unplaced, but the request has 1 items","success":false})");
  EXPECT_EQ(insights("{}", R"({"boxes":[{"box_reference":"X","width":1,"length":1,"depth":1,"items":[]}],"unplaced_items":[]})"),
            R"({"error":"response: box 0 is of type 'X', which the request does not have","success":false})");
}

}  // namespace
