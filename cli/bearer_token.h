#pragma once

#include <string>

// The shared secret that guards the service's endpoints.
namespace cli {

// Whether an Authorization header value is "Bearer " (the scheme in any case) followed by exactly
// `token`. The work done
// depends only on the token's length, never on where a guess first differs, so timing tells an
// attacker nothing about how close a guess came.
bool bearerMatches(const std::string& token, const std::string& authorization);

// The token held in `path`, without the line end that editors add. Returns false with `error` set
// when the file cannot be read or holds no token.
bool readToken(const std::string& path, std::string& token, std::string& error);

}  // namespace cli
