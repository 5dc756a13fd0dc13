// Every tests/golden/<scenario>.request.json is solved through varbex_solve and the answer must
// equal <scenario>.response.json byte for byte (one final line break in the file is ignored).

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "varbex.h"

namespace {

namespace fs = std::filesystem;

const std::string kRequestSuffix = ".request.json";
const std::string kResponseSuffix = ".response.json";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string solve(const std::string& request) {
  char* response = varbex_solve(request.c_str());
  std::string text = response ? response : "<null>";
  varbex_free(response);
  return text;
}

std::vector<std::string> scenarios() {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(VARBEX_GOLDEN_DIR)) {
    const std::string file = entry.path().filename().string();
    if (file.size() > kRequestSuffix.size() &&
        file.compare(file.size() - kRequestSuffix.size(), kRequestSuffix.size(),
                     kRequestSuffix) == 0) {
      names.push_back(file.substr(0, file.size() - kRequestSuffix.size()));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Where two texts first differ, with a little of each around that point.
std::string firstDifference(const std::string& expected, const std::string& actual) {
  const std::size_t length = std::min(expected.size(), actual.size());
  std::size_t at = 0;
  while (at < length && expected[at] == actual[at]) ++at;
  const std::size_t from = at < 40 ? 0 : at - 40;
  std::ostringstream out;
  out << "first difference at byte " << at << " (expected " << expected.size()
      << " bytes, got " << actual.size() << ")\n  expected: ..." << expected.substr(from, 100)
      << "\n  actual:   ..." << actual.substr(from, 100);
  return out.str();
}

TEST(GoldenTest, ResponsesMatchByteForByte) {
  const std::vector<std::string> names = scenarios();
  ASSERT_FALSE(names.empty()) << "no scenarios in " << VARBEX_GOLDEN_DIR;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const fs::path dir(VARBEX_GOLDEN_DIR);
    const fs::path responsePath = dir / (name + kResponseSuffix);
    ASSERT_TRUE(fs::exists(responsePath)) << name << ": no " << responsePath.filename();
    std::string expected = readFile(responsePath);
    if (!expected.empty() && expected.back() == '\n') expected.pop_back();
    const std::string actual = solve(readFile(dir / (name + kRequestSuffix)));
    EXPECT_TRUE(actual == expected) << name << ": " << firstDifference(expected, actual);
  }
}

TEST(GoldenTest, EveryResponseHasItsRequest) {
  for (const fs::directory_entry& entry : fs::directory_iterator(VARBEX_GOLDEN_DIR)) {
    const std::string file = entry.path().filename().string();
    if (file.size() <= kResponseSuffix.size() ||
        file.compare(file.size() - kResponseSuffix.size(), kResponseSuffix.size(),
                     kResponseSuffix) != 0) {
      continue;
    }
    const std::string name = file.substr(0, file.size() - kResponseSuffix.size());
    EXPECT_TRUE(fs::exists(entry.path().parent_path() / (name + kRequestSuffix)))
        << file << " has no request";
  }
}

}  // namespace
