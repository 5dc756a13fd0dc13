#include "http_service.h"

#include <httplib.h>
#include <sys/socket.h>

#include <chrono>
#include <exception>
#include <nlohmann/json.hpp>
#include <utility>

#include "batch_stream.h"
#include "bearer_token.h"
#include "insights_command.h"
#include "insights_endpoint.h"
#include "json_lines.h"
#include "openapi_document.h"
#include "report.h"

namespace cli {
namespace {

using httplib::Request;
using httplib::Response;

constexpr char kJson[] = "application/json";
constexpr char kRetryAfterSeconds[] = "1";
constexpr int kReadTimeoutSeconds = 5;
constexpr int kWriteTimeoutSeconds = 5;
constexpr int kKeepAliveSeconds = 5;
constexpr size_t kKeepAliveRequests = 1000;  // a pooled client reconnects rarely

// Every method a known path may be asked with; all but its own are answered 405.
struct MethodRoute {
  const char* method;
  httplib::Server& (httplib::Server::*add)(const std::string&, httplib::Server::Handler);
};
const MethodRoute kMethodRoutes[] = {{"GET", &httplib::Server::Get},
                                     {"POST", &httplib::Server::Post},
                                     {"PUT", &httplib::Server::Put},
                                     {"PATCH", &httplib::Server::Patch},
                                     {"DELETE", &httplib::Server::Delete}};

// What the logger needs of the request that this connection thread is answering; a connection
// thread answers one request at a time, and a batch is streamed on the thread that read it.
struct Exchange {
  std::chrono::steady_clock::time_point start;
  size_t streamedBytes = 0;
};
thread_local Exchange currentExchange;

// The same shape as the library's envelope, so that clients read every error one way.
std::string errorBody(const std::string& message) {
  nlohmann::json body;
  body["error"] = message;
  body["success"] = false;
  return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void answerError(Response& response, int status, const std::string& message) {
  response.status = status;
  response.set_content(errorBody(message), kJson);
}

// Answers before the body is read, then closes the connection, so that the unread body is never
// taken for the next request. The library closes a connection whose answer it could not finish,
// so the provider hands over the whole answer and then reports failure.
void answerAndClose(Response& response, int status, const std::string& message) {
  response.status = status;
  response.set_header("Connection", "close");
  const std::string body = errorBody(message);
  response.set_content_provider(
      body.size(), kJson, [body](size_t offset, size_t length, httplib::DataSink& sink) {
        sink.write(body.data() + offset, length);
        currentExchange.streamedBytes += length;
        return false;
      });
}

const char* endpointOf(const std::string& path) {
  for (const char* known : {"/v1/solve", "/v1/report", "/v1/insights", "/v1/batch", "/healthz", "/readyz",
                            "/metrics", "/openapi.json"}) {
    if (path == known) return known;
  }
  return "other";
}

std::string allowedMethods(const std::string& method) {
  return method == "GET" ? "GET, HEAD, OPTIONS" : method + ", OPTIONS";
}

std::string pattern(const char* path) {
  std::string escaped;
  for (const char* c = path; *c != '\0'; ++c) {
    if (*c == '.') escaped += '\\';
    escaped += *c;
  }
  return escaped;
}

// Why the server itself refused a request, for the statuses it sets without a handler.
std::string reasonOf(int status, const std::string& path) {
  switch (status) {
    case 404: return "no endpoint at " + path;
    case 413: return "the body is over the size limit";
    case 414: return "the request target is too long";
    case 400: return "the request could not be read";
    default: return "the request failed with status " + std::to_string(status);
  }
}

void countRejection(Metrics& metrics, const std::string& path, int status) {
  switch (status) {
    case 401: metrics.countRejection(Rejection::kUnauthorized); break;
    case 411: metrics.countRejection(Rejection::kLengthRequired); break;
    case 413: metrics.countRejection(Rejection::kBodyTooLarge); break;
    case 503:
      if (path != "/readyz") metrics.countRejection(Rejection::kQueueFull);
      break;
    default: break;
  }
}

}  // namespace

HttpService::HttpService(const ServiceConfig& config, AccessLog& log)
    : config_(config),
      log_(log),
      pool_(config.threads, config.queue,
            [this](const Solved& solved, std::chrono::duration<double> took) {
              metrics_.countSolve(solved.tally, took);
            }),
      server_(std::make_unique<httplib::Server>()) {
  configureConnections();
  installHooks();
  addRoutes();
}

HttpService::~HttpService() = default;

void HttpService::configureConnections() {
  // Every request waiting for or holding a solving thread keeps one connection thread; the rest
  // answer the cheap endpoints and absorb slow clients, which never hold a solving thread.
  const size_t connectionThreads = config_.threads + config_.queue + 16;
  server_->new_task_queue = [connectionThreads] {
    return new httplib::ThreadPool(connectionThreads);
  };
  server_->set_payload_max_length(config_.maxBody);
  // Headers and body go out in separate writes; Nagle would hold the body back for the client's
  // delayed acknowledgement, some 40 ms per answer.
  server_->set_tcp_nodelay(true);
  server_->set_read_timeout(kReadTimeoutSeconds, 0);
  server_->set_write_timeout(kWriteTimeoutSeconds, 0);
  server_->set_keep_alive_timeout(kKeepAliveSeconds);
  server_->set_keep_alive_max_count(kKeepAliveRequests);
  if (!config_.corsOrigin.empty()) {
    server_->set_default_headers(
        {{"Access-Control-Allow-Origin", config_.corsOrigin}, {"Vary", "Origin"}});
  }
}

void HttpService::installHooks() {
  server_->set_expect_100_continue_handler([this](const Request& request, Response& response) {
    return continueOrRefuse(request, response);
  });
  server_->set_pre_routing_handler([this](const Request& request, Response& response) {
    return refusedBeforeRouting(request, response) ? httplib::Server::HandlerResponse::Handled
                                                   : httplib::Server::HandlerResponse::Unhandled;
  });
  server_->set_error_handler(
      httplib::Server::HandlerWithResponse([](const Request& request, Response& response) {
        const bool answered = !response.body.empty() || response.content_provider_ != nullptr;
    if (answered) return httplib::Server::HandlerResponse::Unhandled;
        response.set_content(errorBody(reasonOf(response.status, request.path)), kJson);
        return httplib::Server::HandlerResponse::Handled;
      }));
  server_->set_exception_handler([](const Request&, Response& response, std::exception_ptr) {
    answerError(response, 500, "internal error");
  });
  server_->set_logger(
      [this](const Request& request, const Response& response) { logExchange(request, response); });
}

// A client that announces its body with "Expect: 100-continue" is turned away before sending it.
int HttpService::continueOrRefuse(const Request& request, Response& response) const {
  if (request.get_header_value<uint64_t>("Content-Length") <= config_.maxBody) return 100;
  answerError(response, 413,
              "the body is larger than " + std::to_string(config_.maxBody) + " bytes");
  return 413;
}

// Starts the exchange's bookkeeping; answers, and returns true, when the request cannot be routed.
bool HttpService::refusedBeforeRouting(const Request& request, Response& response) {
  currentExchange = Exchange{std::chrono::steady_clock::now(), 0};
  if (draining_) response.set_header("Connection", "close");
  // Without a length the server would read until the client closes, past any limit.
  if (request.method == "POST" && !request.has_header("Content-Length")) {
    answerAndClose(response, 411, "a Content-Length header is required");
    return true;
  }
  if (request.get_header_value<uint64_t>("Content-Length") > config_.maxBody) {
    answerAndClose(response, 413,
                   "the body is larger than " + std::to_string(config_.maxBody) + " bytes");
    return true;
  }
  return false;
}

void HttpService::logExchange(const Request& request, const Response& response) {
  const Exchange exchange = std::exchange(currentExchange, Exchange{});
  metrics_.countRequest(endpointOf(request.path), response.status);
  countRejection(metrics_, request.path, response.status);
  AccessRecord record;
  record.method = request.method;
  record.path = request.path;
  record.status = response.status;
  record.bytesIn = request.body.size();
  record.bytesOut = response.body.size() + exchange.streamedBytes;
  if (exchange.start != std::chrono::steady_clock::time_point{}) {
    record.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - exchange.start)
            .count();
  }
  log_.write(record);
}

void HttpService::addRoute(const char* path, const char* method, Handler handler) {
  const std::string allow = allowedMethods(method);
  for (const MethodRoute& route : kMethodRoutes) {
    const bool wanted = std::string(route.method) == method;
    (*server_.*route.add)(
        pattern(path), [this, handler, allow, wanted](const Request& request, Response& response) {
          if (!wanted) {
            response.set_header("Allow", allow);
            answerError(response, 405, request.method + " is not allowed here; use " + allow);
          } else if (authorized(request, response)) {
            (this->*handler)(request, response);
          }
        });
  }
  // OPTIONS answers what the path allows; it is also the browsers' preflight, which carries no
  // token.
  server_->Options(pattern(path), [this, allow](const Request&, Response& response) {
    response.status = 204;
    response.set_header("Allow", allow);
    if (config_.corsOrigin.empty()) return;
    response.set_header("Access-Control-Allow-Methods", allow);
    response.set_header("Access-Control-Allow-Headers", "Authorization, Content-Type");
    response.set_header("Access-Control-Max-Age", "600");
  });
}

void HttpService::addRoutes() {
  addRoute("/v1/solve", "POST", &HttpService::solve);
  addRoute("/v1/report", "POST", &HttpService::report);
  addRoute("/v1/insights", "POST", &HttpService::insights);
  addRoute("/v1/batch", "POST", &HttpService::batch);
  addRoute("/healthz", "GET", &HttpService::health);
  addRoute("/readyz", "GET", &HttpService::readiness);
  addRoute("/metrics", "GET", &HttpService::metrics);
  addRoute("/openapi.json", "GET", &HttpService::openapi);
}

bool HttpService::authorized(const Request& request, Response& response) {
  if (config_.token.empty() || request.path == "/healthz") return true;
  if (bearerMatches(config_.token, request.get_header_value("Authorization"))) return true;
  response.set_header("WWW-Authenticate", "Bearer");
  answerError(response, 401, "a valid \"Authorization: Bearer <token>\" header is required");
  return false;
}

bool HttpService::solveOrReject(const Request& request, Response& response, Solved& solved) {
  std::optional<std::future<Solved>> future = pool_.trySubmit(request.body);
  if (!future) {
    response.set_header("Retry-After", kRetryAfterSeconds);
    answerError(response, 503, "every solving thread is busy and the queue is full; retry later");
    return false;
  }
  solved = future->get();
  return true;
}

void HttpService::solve(const Request& request, Response& response) {
  Solved solved;
  if (!solveOrReject(request, response, solved)) return;
  response.status = solved.tally.errors > 0 ? 422 : 200;
  response.set_content(std::move(solved.response), kJson);
}

void HttpService::report(const Request& request, Response& response) {
  Solved solved;
  if (!solveOrReject(request, response, solved)) return;
  if (solved.tally.errors > 0) {
    response.status = 422;
    response.set_content(std::move(solved.response), kJson);
    return;
  }
  response.status = 200;
  bool ok = false;
  const std::string insights = insightsText(request.body, solved.response, ok);
  response.set_content(buildReport(solved.response, ok ? insights : "").html,
                       "text/html; charset=utf-8");
}

// Measures only, solves nothing: answered on the connection's thread.
void HttpService::insights(const Request& request, Response& response) {
  EndpointAnswer answer = answerInsights(request.body);
  response.status = answer.status;
  response.set_content(std::move(answer.body), kJson);
}

void HttpService::batch(const Request& request, Response& response) {
  std::shared_ptr<BatchStream> stream =
      BatchStream::start(pool_, splitLines(request.body), pool_.threadCount());
  if (!stream) {
    response.set_header("Retry-After", kRetryAfterSeconds);
    answerError(response, 503, "every solving thread is busy and the queue is full; retry later");
    return;
  }
  response.status = 200;
  response.set_chunked_content_provider("application/x-ndjson", [stream](size_t,
                                                                         httplib::DataSink& sink) {
    if (stream->finished()) {
      sink.done();
      return true;
    }
    try {
      const std::string line = stream->nextLine();
      currentExchange.streamedBytes += line.size();
      return sink.write(line.data(), line.size());
    } catch (const std::exception&) {
      return false;  // a solve failed without a response: cut the stream rather than skip a line
    }
  });
}

void HttpService::health(const Request&, Response& response) {
  response.set_content("{\"status\":\"alive\"}", kJson);
}

void HttpService::readiness(const Request&, Response& response) {
  if (draining_) {
    response.status = 503;
    // Also when the drain began after this exchange was let in, so that the client moves on.
    if (!response.has_header("Connection")) response.set_header("Connection", "close");
    response.set_content("{\"status\":\"draining\"}", kJson);
  } else {
    response.set_content("{\"status\":\"ready\"}", kJson);
  }
}

void HttpService::metrics(const Request&, Response& response) {
  const Gauges gauges{pool_.inFlight(), pool_.queueLength()};
  response.set_content(metrics_.text(gauges), "text/plain; version=0.0.4");
}

void HttpService::openapi(const Request&, Response& response) {
  response.set_content(kOpenApiDocument, kJson);
}

int HttpService::bind(const std::string& host, int port) {
  socket_t listening = INVALID_SOCKET;
  server_->set_socket_options([&listening](socket_t socket) {
    httplib::default_socket_options(socket);
    listening = socket;
  });
  const int bound = port == 0                           ? server_->bind_to_any_port(host)
                    : server_->bind_to_port(host, port) ? port
                                                        : -1;
  server_->set_socket_options(httplib::default_socket_options);
  // The library listens with a backlog of 5, which a burst of clients connecting at once overflows
  // into resets; listening again on the bound socket only enlarges the backlog.
  if (bound >= 0 && listening != INVALID_SOCKET) ::listen(listening, SOMAXCONN);
  return bound;
}

bool HttpService::serve() {
  if (draining_) return true;
  return server_->listen_after_bind();
}

void HttpService::drain() {
  draining_ = true;
  server_->stop();
}

}  // namespace cli
