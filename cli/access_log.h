#pragma once

#include <cstdio>
#include <mutex>
#include <string>

// One JSON line per answered request: when, what, how it ended and how big it was. Request bodies
// never reach it, so the log holds no customer data.
namespace cli {

struct AccessRecord {
  std::string method;
  std::string path;  // without the query string
  int status = 0;
  size_t bytesIn = 0;
  size_t bytesOut = 0;
  double milliseconds = 0;
};

class AccessLog {
 public:
  // Logs to `stream`, which stays the caller's; a null stream turns the log off.
  explicit AccessLog(std::FILE* stream) : stream_(stream) {}

  void write(const AccessRecord& record);

 private:
  std::FILE* const stream_;
  std::mutex mutex_;
};

}  // namespace cli
