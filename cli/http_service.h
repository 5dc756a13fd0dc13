#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "access_log.h"
#include "metrics.h"
#include "solve_pool.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace cli {

struct ServiceConfig {
  unsigned threads = 1;       // solving threads
  size_t queue = 64;          // requests that may wait for a solving thread
  size_t maxBody = 16 << 20;  // bytes
  std::string token;          // required as "Bearer <token>" when not empty
  std::string corsOrigin;     // the one origin that browsers may call from; empty for none
};

// The packer over HTTP: the endpoints, their guards and their bookkeeping, on one HTTP server
// whose connection threads only read, wait and write, while the solving pool does the work.
class HttpService {
 public:
  HttpService(const ServiceConfig& config, AccessLog& log);
  ~HttpService();
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;

  // Binds the listening socket; returns the port (a free one for port 0), or -1 on failure.
  int bind(const std::string& host, int port);
  // Serves until drain(); returns once every request already read has been answered.
  bool serve();
  // Stops accepting connections and turns /readyz to 503; any thread may call it, more than once.
  void drain();

 private:
  using Handler = void (HttpService::*)(const httplib::Request&, httplib::Response&);

  void configureConnections();
  void installHooks();
  int continueOrRefuse(const httplib::Request& request, httplib::Response& response) const;
  bool refusedBeforeRouting(const httplib::Request& request, httplib::Response& response);
  void addRoute(const char* path, const char* method, Handler handler);
  void addRoutes();
  bool authorized(const httplib::Request& request, httplib::Response& response);
  bool solveOrReject(const httplib::Request& request, httplib::Response& response, Solved& solved);
  void logExchange(const httplib::Request& request, const httplib::Response& response);

  void solve(const httplib::Request& request, httplib::Response& response);
  void report(const httplib::Request& request, httplib::Response& response);
  void insights(const httplib::Request& request, httplib::Response& response);
  void batch(const httplib::Request& request, httplib::Response& response);
  void health(const httplib::Request& request, httplib::Response& response);
  void readiness(const httplib::Request& request, httplib::Response& response);
  void metrics(const httplib::Request& request, httplib::Response& response);
  void openapi(const httplib::Request& request, httplib::Response& response);

  const ServiceConfig config_;
  AccessLog& log_;
  Metrics metrics_;
  SolvePool pool_;  // after metrics_, which it reports to
  std::atomic<bool> draining_{false};
  std::unique_ptr<httplib::Server> server_;  // last: gone before the pool it waits on
};

}  // namespace cli
