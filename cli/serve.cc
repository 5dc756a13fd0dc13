#include "serve.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "bearer_token.h"
#include "exit_status.h"
#include "http_service.h"

namespace cli {
namespace {

constexpr char kServeUsage[] =
    "usage: varbex serve [--listen HOST:PORT] [--threads N] [--queue N] [--max-body BYTES]\n"
    "                    [--solve-timeout SECONDS] [--solve-memory MIB]\n"
    "                    [--max-connections N] [--max-per-client N] [--max-held BYTES]\n"
    "                    [--token-file FILE] [--cors ORIGIN] [--access-log FILE|-]";
constexpr auto kSignalPoll = std::chrono::milliseconds(100);

struct ServeOptions {
  std::string host = "127.0.0.1";  // loopback unless another address is asked for
  int port = 8080;
  std::string tokenFile;
  std::string accessLog;  // empty: no access log
  bool help = false;
  ServiceConfig service;
};

int failWith(const std::string& message) {
  std::fprintf(stderr, "varbex: %s\n", message.c_str());
  return kUsageOrIoError;
}

// A whole number from `low` to `high`, or false.
bool parseCount(const std::string& text, unsigned long long low, unsigned long long high,
                unsigned long long& value) {
  if (text.empty() || text.size() > 12 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::stoull(text);
  return value >= low && value <= high;
}

// HOST:PORT, where HOST may be a bracketed IPv6 address.
bool parseListen(const std::string& text, ServeOptions& options) {
  const size_t colon = text.rfind(':');
  unsigned long long port = 0;
  if (colon == std::string::npos || colon == 0 ||
      !parseCount(text.substr(colon + 1), 0, 65535, port)) {
    return false;
  }
  std::string host = text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  options.host = host;
  options.port = static_cast<int>(port);
  return true;
}

unsigned coreCount() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? cores : 1;
}

// Applies one option and its value; returns false with `error` set when either is wrong.
bool applyOption(const std::string& name, const std::string& value, ServeOptions& options,
                 std::string& error) {
  ServiceConfig& service = options.service;
  unsigned long long number = 0;
  bool valid = true;
  if (name == "--listen") {
    valid = parseListen(value, options);
  } else if (name == "--threads") {
    valid = parseCount(value, 1, 1024, number);
    service.threads = static_cast<unsigned>(number);
  } else if (name == "--queue") {
    valid = parseCount(value, 0, 1000000, number);
    service.queue = static_cast<size_t>(number);
  } else if (name == "--max-body") {
    valid = parseCount(value, 1, 1ull << 40, number);
    service.maxBody = static_cast<size_t>(number);
  } else if (name == "--solve-timeout") {
    valid = parseCount(value, 0, 86400, number);  // 0: no limit
    service.limits.timeout = std::chrono::seconds(number);
  } else if (name == "--solve-memory") {
    valid = parseCount(value, 0, 1u << 20, number);  // 0: no limit
    service.limits.memoryMiB = static_cast<size_t>(number);
  } else if (name == "--max-connections") {
    valid = parseCount(value, 1, 100000, number);
    service.maxConnections = static_cast<unsigned>(number);
  } else if (name == "--max-per-client") {
    valid = parseCount(value, 1, 100000, number);
    service.maxPerClient = static_cast<unsigned>(number);
  } else if (name == "--max-held") {
    valid = parseCount(value, 1, 1ull << 40, number);
    service.maxHeld = static_cast<size_t>(number);
  } else if (name == "--token-file") {
    options.tokenFile = value;
  } else if (name == "--cors") {
    valid = !value.empty() && value.find_first_of("\r\n") == std::string::npos;  // a header value
    service.corsOrigin = value;
  } else if (name == "--access-log") {
    options.accessLog = value;
  } else {
    error = "unknown option '" + name + "'";
    return false;
  }
  if (!valid) error = "invalid value '" + value + "' for " + name;
  return valid;
}

bool parseServeArguments(int argc, char** argv, ServeOptions& options, std::string& error) {
  options.service.threads = coreCount();
  for (int i = 2; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      options.help = true;
      return true;
    }
    if (i + 1 >= argc) {
      error = name.rfind("--", 0) == 0 ? "option '" + name + "' needs a value"
                                       : "unexpected argument '" + name + "'";
      return false;
    }
    if (!applyOption(name, argv[++i], options, error)) return false;
  }
  return true;
}

// The token from --token-file, else from VARBEX_TOKEN; none leaves the endpoints open.
bool loadToken(const ServeOptions& options, std::string& token, std::string& error) {
  if (!options.tokenFile.empty()) return readToken(options.tokenFile, token, error);
  const char* fromEnvironment = std::getenv("VARBEX_TOKEN");
  token = fromEnvironment != nullptr ? fromEnvironment : "";
  return true;
}

// The access log's stream, owned by the caller unless it is standard output.
struct LogStream {
  std::FILE* stream = nullptr;
  bool owned = false;
  ~LogStream() {
    if (owned) std::fclose(stream);
  }
};

bool openLog(const std::string& path, LogStream& log, std::string& error) {
  if (path.empty()) return true;
  if (path == "-") {
    log.stream = stdout;
    return true;
  }
  log.stream = std::fopen(path.c_str(), "ab");
  log.owned = log.stream != nullptr;
  if (!log.owned) error = "cannot open '" + path + "': " + std::strerror(errno);
  return log.owned;
}

sigset_t stopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  return signals;
}

// Waits for SIGTERM or SIGINT, then drains the service, again until serving has ended, since a
// stop that comes before the server runs would be lost.
void drainOnSignal(HttpService& service, const std::atomic<bool>& served) {
  const sigset_t signals = stopSignals();
  const timespec poll{0, std::chrono::nanoseconds(kSignalPoll).count()};
  bool signalled = false;
  while (!served) {
    if (!signalled) signalled = sigtimedwait(&signals, nullptr, &poll) > 0;
    if (signalled) {
      service.drain();
      std::this_thread::sleep_for(kSignalPoll);
    }
  }
}

int run(const ServeOptions& options) {
  std::string error;
  ServiceConfig config = options.service;
  if (!loadToken(options, config.token, error)) return failWith(error);
  LogStream logStream;
  if (!openLog(options.accessLog, logStream, error)) return failWith(error);
  AccessLog log(logStream.stream);
  // Blocked before any thread starts, so that every thread inherits the mask and only the
  // waiting thread ever takes the signals.
  const sigset_t signals = stopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  HttpService service(config, log);
  const int port = service.bind(options.host, options.port);
  if (port < 0)
    return failWith("cannot listen on " + options.host + ":" + std::to_string(options.port));
  std::printf("varbex: serving on http://%s:%d\n", options.host.c_str(), port);
  std::fflush(stdout);
  std::atomic<bool> served{false};
  std::thread waiter(drainOnSignal, std::ref(service), std::cref(served));
  const bool clean = service.serve();
  served = true;
  waiter.join();
  return clean ? kSuccess : failWith("the server stopped with an error");
}

}  // namespace

int serveCommand(int argc, char** argv) {
  ServeOptions options;
  std::string error;
  if (!parseServeArguments(argc, argv, options, error)) {
    return failWith(error + "\n" + kServeUsage);
  }
  if (options.help) {
    std::printf("%s\n", kServeUsage);
    return kSuccess;
  }
  return run(options);
}

}  // namespace cli
