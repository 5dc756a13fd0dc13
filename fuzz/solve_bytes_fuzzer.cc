// Arbitrary bytes as the request text. Whatever arrives, the caller must get back one block of
// valid JSON that is either the error envelope or a self-consistent response document, and that
// block must go back through varbex_free without complaint from the sanitizers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "answer_checks.h"
#include "varbex.h"

namespace {

[[noreturn]] void finding(const std::string& what, const char* answer) {
  std::fprintf(stderr, "\nFINDING: %s\nanswer: %.4000s\n", what.c_str(), answer ? answer : "(null)");
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The C interface reads up to the first NUL, as it would for any caller's buffer.
  const std::string text(reinterpret_cast<const char*>(data), size);
  char* answer = varbex_solve(text.c_str());
  // Null means the final block could not be allocated; nothing here runs out of memory.
  if (answer == nullptr) finding("varbex_solve returned null", answer);

  nlohmann::json document;
  try {
    document = nlohmann::json::parse(answer);
  } catch (const nlohmann::json::exception& e) {
    finding(std::string("the answer is not valid JSON: ") + e.what(), answer);
  }
  const std::string shape = varbex_checks::shapeProblem(document);
  if (!shape.empty()) finding(shape, answer);
  if (!varbex_checks::isErrorEnvelope(document)) {
    const std::vector<std::string> problems = varbex_checks::responseProblems(document);
    if (!problems.empty()) finding(problems.front(), answer);
  }
  varbex_free(answer);
  return 0;
}
