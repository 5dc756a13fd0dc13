#include "access_log.h"

#include <chrono>
#include <ctime>
#include <nlohmann/json.hpp>

namespace cli {
namespace {

// UTC with milliseconds, e.g. 2026-12-09T06:01:02.345Z.
std::string utcNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  const size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
  std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(millis));
  return text;
}

}  // namespace

void AccessLog::write(const AccessRecord& record) {
  if (stream_ == nullptr) return;
  nlohmann::ordered_json line;
  line["time"] = utcNow();
  line["method"] = record.method;
  line["path"] = record.path;
  line["status"] = record.status;
  line["bytes_in"] = record.bytesIn;
  line["bytes_out"] = record.bytesOut;
  line["ms"] = static_cast<double>(static_cast<long long>(record.milliseconds * 1000)) / 1000;
  // A path is whatever a client sent: invalid UTF-8 is replaced rather than refused.
  const std::string text =
      line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  const std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(stream_, "%s\n", text.c_str());
  std::fflush(stream_);
}

}  // namespace cli
