// Helpers shared by the reliability tests: solving through the C interface, asserting that an
// answer is one of the two documented shapes and sound, and telling whether a sanitizer is on.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "answer_checks.h"
#include "varbex.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VARBEX_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define VARBEX_UNDER_SANITIZER 1
#endif
#endif
#ifndef VARBEX_UNDER_SANITIZER
#define VARBEX_UNDER_SANITIZER 0
#endif

namespace reliability {

using nlohmann::json;

// Sanitizers make the code 5 to 20 times slower; sizes chosen for a plain build shrink by this.
constexpr bool kUnderSanitizer = VARBEX_UNDER_SANITIZER != 0;

// The answer text exactly as the caller receives it; the block goes back through varbex_free.
inline std::string answerText(const std::string& request) {
  char* raw = varbex_solve(request.c_str());
  if (raw == nullptr) {
    ADD_FAILURE() << "varbex_solve returned null";
    return "";
  }
  std::string text(raw);
  varbex_free(raw);
  return text;
}

// Parses strictly (invalid UTF-8 fails) and checks that the answer has one of the two shapes.
inline json parsedAnswer(const std::string& text) {
  json answer;
  try {
    answer = json::parse(text);
  } catch (const json::exception& e) {
    ADD_FAILURE() << "the answer is not valid JSON: " << e.what() << "\n" << text.substr(0, 2000);
    return json();
  }
  const std::string problem = varbex_checks::shapeProblem(answer);
  EXPECT_EQ(problem, "") << text.substr(0, 2000);
  return answer;
}

inline json answerTo(const std::string& request) { return parsedAnswer(answerText(request)); }

// The error envelope's message, with a failure when the answer is not the envelope.
inline std::string errorOf(const json& answer) {
  if (!varbex_checks::isErrorEnvelope(answer)) {
    ADD_FAILURE() << "expected the error envelope, got " << answer.dump().substr(0, 2000);
    return "";
  }
  return answer.at("error").get<std::string>();
}

inline std::string joined(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& p : problems) text += p + "\n";
  return text;
}

// Solves a request whose "items" and "boxes" are arrays of objects, expects a packing document
// and checks it against the request.
inline json soundPackingOf(const json& request) {
  const json answer = answerTo(request.dump());
  if (varbex_checks::isErrorEnvelope(answer) || !answer.is_object()) {
    ADD_FAILURE() << "expected a packing document, got " << answer.dump().substr(0, 2000);
    return answer;
  }
  const std::vector<std::string> problems =
      varbex_checks::packingProblems(varbex_checks::requestOf(request), answer);
  EXPECT_TRUE(problems.empty()) << joined(problems) << answer.dump().substr(0, 4000);
  return answer;
}

inline json item(const std::string& code, double width, double length, double depth,
                 double weight = 1) {
  return {{"ItemCode", code}, {"Width", width}, {"Length", length}, {"Depth", depth},
          {"Weight", weight}};
}

inline json box(const std::string& reference, double width, double length, double depth,
                double maxWeight = -1) {
  return {{"Reference", reference}, {"Width", width},        {"Length", length},
          {"Depth", depth},         {"MaxWeight", maxWeight}};
}

inline std::vector<std::string> placedCodes(const json& answer) {
  std::vector<std::string> codes;
  for (const json& p : answer.at("placements")) codes.push_back(p.at("ItemCode"));
  return codes;
}

}  // namespace reliability
