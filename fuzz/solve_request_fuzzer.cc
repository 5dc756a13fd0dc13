// Every answer to a request made from the fuzzer's bytes (fuzzed_request.h) must be a sound
// packing of exactly that request.
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include "answer_checks.h"
#include "fuzzed_request.h"
#include "varbex.h"

namespace {

using nlohmann::json;
using varbex_fuzz::makeRequest;

[[noreturn]] void finding(const std::string& what, const std::string& request, const char* answer) {
  std::fprintf(stderr, "\nFINDING: %s\nrequest: %s\nanswer: %.20000s\n", what.c_str(),
               request.c_str(), answer ? answer : "(null)");
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const json request = makeRequest(in);
  const std::string text = request.dump();
  char* answer = varbex_solve(text.c_str());
  if (answer == nullptr) finding("varbex_solve returned null", text, answer);

  json document;
  try {
    document = json::parse(answer);
  } catch (const json::exception& e) {
    finding(std::string("the answer is not valid JSON: ") + e.what(), text, answer);
  }
  const std::string shape = varbex_checks::shapeProblem(document);
  if (!shape.empty()) finding(shape, text, answer);
  // Every request made here is valid, so an error envelope is a finding too.
  if (varbex_checks::isErrorEnvelope(document)) finding("a valid request was refused", text, answer);
  const std::vector<std::string> problems =
      varbex_checks::packingProblems(varbex_checks::requestOf(request), document);
  if (!problems.empty()) finding(problems.front(), text, answer);
  varbex_free(answer);
  return 0;
}
