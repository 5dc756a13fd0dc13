#include "bearer_token.h"

#include "text_file.h"

namespace cli {

bool bearerMatches(const std::string& token, const std::string& authorization) {
  const std::string expected = "bearer " + token;
  // Every byte of `expected` is compared, even past the end of a short guess, with no early exit.
  // The scheme's letters are compared in lower case, as schemes are case-insensitive; the token's
  // bytes as they are.
  constexpr size_t kScheme = 6;
  unsigned char difference = authorization.size() == expected.size() ? 0 : 1;
  for (size_t i = 0; i < expected.size(); ++i) {
    unsigned char given =
        i < authorization.size() ? static_cast<unsigned char>(authorization[i]) : 0;
    if (i < kScheme && given >= 'A' && given <= 'Z') given = static_cast<unsigned char>(given + 32);
    difference |= static_cast<unsigned char>(given ^ static_cast<unsigned char>(expected[i]));
  }
  return difference == 0;
}

bool readToken(const std::string& path, std::string& token, std::string& error) {
  std::string text;
  if (!readTextFile(path, text, error)) return false;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty()) {
    error = displayName(path, false) + " holds no token";
    return false;
  }
  token = text;
  return true;
}

}  // namespace cli
