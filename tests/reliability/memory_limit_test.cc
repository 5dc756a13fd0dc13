// Memory running out inside a solve must reach the caller as the error envelope (or as null,
// when not even the envelope's block can be had), never as a crash or an escaped exception.
// Each case runs in a child process whose address space is capped a little above what it
// already uses, so that the library's allocations fail while the child itself keeps working.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "reliability_support.h"

namespace {

using nlohmann::json;

// How the child ended, as its exit status.
enum Outcome : int {
  kEnvelope = 0,         // the error envelope
  kNull = 1,             // null: no block could be allocated
  kDocument = 2,         // the whole response: the memory was enough after all
  kBroken = 3,           // anything else
  kUnexpectedError = 4,  // the envelope, but with another message than the one expected
  kSetupFailed = 5,
};

std::size_t addressSpaceInUse() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  unsigned long pages = 0;
  const int read = std::fscanf(statm, "%lu", &pages);
  std::fclose(statm);
  return read == 1 ? pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

bool startsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// In the child: cap the address space at what is in use plus `headroom`, build the request
// there, solve it and classify the answer. Never returns.
[[noreturn]] void childSolves(std::size_t headroom, const std::string& (*makeRequest)(),
                              const char* expectedError) {
  alarm(120);  // a hang ends the child with a signal, which the parent reports
  const std::size_t inUse = addressSpaceInUse();
  if (inUse == 0) _exit(kSetupFailed);
  const rlimit limit{inUse + headroom, inUse + headroom};
  if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(kSetupFailed);

  int outcome = kBroken;
  try {
    const std::string& request = makeRequest();
    char* answer = varbex_solve(request.c_str());
    if (answer == nullptr) _exit(kNull);
    if (startsWith(answer, R"({"error":)")) {
      // The library has released everything by now, so a small envelope parses.
      const json envelope = json::parse(answer);
      outcome = !varbex_checks::isErrorEnvelope(envelope) ? kBroken
                : (expectedError && envelope.at("error") != expectedError) ? kUnexpectedError
                                                                             : kEnvelope;
    } else if (startsWith(answer, R"({"boxes":)")) {
      try {
        outcome = varbex_checks::shapeProblem(json::parse(answer)).empty() ? kDocument : kBroken;
      } catch (const std::bad_alloc&) {
        outcome = kDocument;  // too big to check here, but it is the response
      }
    }
    varbex_free(answer);
  } catch (const std::bad_alloc&) {
    outcome = kSetupFailed;  // the request itself did not fit under the cap
  } catch (...) {
    outcome = kBroken;
  }
  _exit(outcome);
}

// Runs childSolves in a child and returns its exit status, failing the test on a signal.
int runChild(std::size_t headroom, const std::string& (*makeRequest)(), const char* expectedError) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) childSolves(headroom, makeRequest, expectedError);
  EXPECT_GT(child, 0);
  if (child <= 0) return -1;
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status)
                                 << " with " << headroom / (1 << 20) << " MiB of headroom";
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// About 600000 small items in 32 MiB of text: parsed, they need several times that.
const std::string& manySmallItems() {
  static std::string text;
  text.reserve(36u << 20);
  text = R"({"boxes":[{"Reference":"B","Width":9,"Length":9,"Depth":9,"MaxWeight":-1}],"items":[)";
  char entry[96];
  for (int k = 0; text.size() < (32u << 20); ++k) {
    std::snprintf(entry, sizeof entry, R"(%s{"ItemCode":"i%d","Width":1,"Length":1,"Depth":1})",
                  k ? "," : "", k);
    text += entry;
  }
  text += "]}";
  return text;
}

// 2000 items with codes of 4 KiB and no box: nothing to pack, but every code is copied into the
// items, the unplaced list, the response value and its text, so memory runs out at different
// steps depending on the cap (from copying the request to writing the response text).
const std::string& longCodesNoBoxes() {
  static std::string text;
  text.reserve(9u << 20);
  text = R"({"items":[)";
  const std::string code(4096, 'c');
  for (int k = 0; k < 2000; ++k) {
    text += k ? "," : "";
    text += R"({"ItemCode":")" + std::to_string(k) + code + R"(","Width":1,"Length":1,"Depth":1})";
  }
  text += "]}";
  return text;
}

class MemoryLimit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (reliability::kUnderSanitizer) {
      GTEST_SKIP() << "sanitizers reserve terabytes of address space up front";
    }
  }
};

TEST_F(MemoryLimit, ExhaustedWhileParsingGivesTheEnvelope) {
  EXPECT_EQ(runChild(128u << 20, manySmallItems, "std::bad_alloc"), kEnvelope);
}

TEST_F(MemoryLimit, ExhaustedAtAnyStepNeverCrashes) {
  int envelopes = 0;
  for (std::size_t mib : {12, 24, 40, 64, 96, 128}) {
    SCOPED_TRACE(std::to_string(mib) + " MiB of headroom");
    const int outcome = runChild(mib << 20, longCodesNoBoxes, nullptr);
    EXPECT_TRUE(outcome == kEnvelope || outcome == kNull || outcome == kDocument ||
                outcome == kSetupFailed)
        << "outcome " << outcome;
    envelopes += outcome == kEnvelope;
  }
  EXPECT_GT(envelopes, 0) << "no cap was low enough to make the solve run out of memory";
}

}  // namespace
