#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "access_log.h"
#include "metrics.h"
#include "solve_pool.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace cli {

struct ServiceConfig {
  unsigned threads = 1;       // solving workers
  size_t queue = 64;          // requests that may wait for a solving worker
  size_t maxBody = 16 << 20;  // bytes
  std::string token;          // required as "Bearer <token>" when not empty
  std::string corsOrigin;     // the one origin that browsers may call from; empty for none
  SolveLimits limits;         // what one solve may take
  unsigned maxConnections = 1000;  // open connections in all
  unsigned maxPerClient = 256;     // open connections from one client address
  size_t maxHeld = 64 << 20;       // bytes of request bodies held at once, at least maxBody
};

// A request as an endpoint sees it: read whole and checked, header names in lower case.
struct HttpRequest {
  std::string method;
  std::string path;  // without the query
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // Whether the client has hung up; an endpoint that waits long asks it now and then.
  std::function<bool()> clientGone;

  // The value of the header named `lowerName`, or null when there is none.
  const std::string* header(const std::string& lowerName) const;
};

// An endpoint's answer: a status, headers, and a body or a stream. A stream gives the body piece
// by piece, an empty piece at its end; if it throws, the answer is cut off.
struct HttpResponse {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::function<std::string()> stream;

  void setHeader(const std::string& name, const std::string& value);
};

struct Connection;
struct Exchange;
enum class Phase;

// The packer over HTTP: the endpoints, their guards and their bookkeeping, on one HTTP server whose
// connection threads only read, wait and write, while the solving workers do the work.
class HttpService {
 public:
  HttpService(const ServiceConfig& config, AccessLog& log);
  ~HttpService();
  HttpService(const HttpService&) = delete;
  HttpService& operator=(const HttpService&) = delete;

  // Starts listening; returns the port (a free one for port 0), or -1 on failure.
  int bind(const std::string& host, int port);
  // Serves until drain(); returns once every request already read has been answered.
  bool serve();
  // Stops accepting connections and turns /readyz to 503; any thread may call it, more than once.
  void drain();

  // The server library's callbacks, public only for the functions that forward to them.
  void connectionOpened(Connection* connection);
  void connectionClosed(Connection* connection);
  Exchange* requestBegun(MHD_Connection* connection);
  bool handle(MHD_Connection* connection, Exchange& exchange, const char* url, const char* method,
              const char* upload, size_t* uploadSize);
  void requestEnded(Exchange* exchange);

 private:
  using Endpoint = HttpResponse (HttpService::*)(const HttpRequest&);
  struct Route {
    const char* path;
    const char* method;
    Endpoint endpoint;
  };
  static const Route kRoutes[];

  void enterPhase(Connection& connection, Phase phase);
  bool headersArrived(MHD_Connection* connection, Exchange& exchange, const char* url,
                      const char* method);
  void bodyArrived(Exchange& exchange, const char* upload, size_t size);
  bool requestRead(MHD_Connection* connection, Exchange& exchange);
  bool hold(Exchange& exchange, size_t bytes);
  void release(Exchange& exchange);
  std::optional<HttpResponse> refusalBeforeBody(const HttpRequest& request) const;
  bool authorized(const HttpRequest& request) const;
  HttpResponse route(const HttpRequest& request);
  bool answer(MHD_Connection* connection, Exchange& exchange, HttpResponse response);
  void watchDeadlines();

  HttpResponse solveOrReject(const HttpRequest& request, Solved& solved);
  HttpResponse solve(const HttpRequest& request);
  HttpResponse report(const HttpRequest& request);
  HttpResponse insights(const HttpRequest& request);
  HttpResponse batch(const HttpRequest& request);
  HttpResponse health(const HttpRequest& request);
  HttpResponse readiness(const HttpRequest& request);
  HttpResponse metrics(const HttpRequest& request);
  HttpResponse openapi(const HttpRequest& request);

  const ServiceConfig config_;
  AccessLog& log_;
  Metrics metrics_;
  SolvePool pool_;  // after metrics_, which it reports to
  std::atomic<bool> draining_{false};
  std::atomic<size_t> held_{0};  // bytes of request bodies held now
  MHD_Daemon* daemon_ = nullptr;

  // Every open connection, for the deadlines that the server library does not keep itself.
  std::mutex connectionsMutex_;
  std::condition_variable connectionsChanged_;
  std::set<Connection*> connections_;
  bool stopping_ = false;
  std::thread watcher_;
};

}  // namespace cli
