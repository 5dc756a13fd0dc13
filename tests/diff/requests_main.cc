// Prints generated requests, one per line: varbex_requests SEED FIRST COUNT.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "request_generator.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: varbex_requests SEED FIRST COUNT\n");
    return 1;
  }
  const std::uint64_t seed = std::strtoull(argv[1], nullptr, 10);
  const std::uint64_t first = std::strtoull(argv[2], nullptr, 10);
  const std::uint64_t count = std::strtoull(argv[3], nullptr, 10);
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::string request = varbex::testing::generateRequest(seed, first + i);
    std::fwrite(request.data(), 1, request.size(), stdout);
    std::fputc('\n', stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
