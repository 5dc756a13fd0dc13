#include "http_service.h"

#include <malloc.h>
#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <future>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "batch_stream.h"
#include "bearer_token.h"
#include "insights_command.h"
#include "insights_endpoint.h"
#include "json_lines.h"
#include "openapi_document.h"
#include "report.h"

namespace cli {

// Where a connection is between two answers: waiting for a request's line and headers, reading
// its body, or answering it. The first two have deadlines for the whole phase, however the bytes
// trickle in.
enum class Phase { kWaiting, kBody, kAnswering };

// One request from its first line to its last byte out.
struct Exchange {
  Connection* connection = nullptr;
  std::chrono::steady_clock::time_point start;
  bool headersChecked = false;
  bool refused = false;     // answered before its body, which is then never read
  bool overLimit = false;   // a body without a length that grew past the limit
  bool overBudget = false;  // one that grew past what the service may hold of all bodies
  size_t held = 0;          // bytes counted against that
  HttpRequest request;
  int status = 0;           // 0 until an answer is queued
  bool queueFull = false;   // turned away for want of a worker, as opposed to a solve that failed
  std::shared_ptr<std::atomic<size_t>> bytesOut = std::make_shared<std::atomic<size_t>>(0);
};

struct Connection {
  MHD_Connection* handle = nullptr;
  int socket = -1;
  Phase phase = Phase::kWaiting;
  std::chrono::steady_clock::time_point since;
  bool cut = false;
  // The request under way. Owned here, since the server library tells of a request's end only
  // when it reached the handler, not when it refused the request itself.
  std::unique_ptr<Exchange> exchange;
};

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kJson[] = "application/json";
constexpr char kRetryAfterSeconds[] = "1";
// The request line and headers must be in this long after the connection opened or the previous
// answer went out; a body this long after its headers. Whole phases, not the gap between bytes.
constexpr auto kHeaderDeadline = std::chrono::seconds(10);
constexpr auto kBodyDeadline = std::chrono::seconds(60);
// Any connection that sends or takes nothing for this long is closed, an idle kept-alive one too.
constexpr unsigned kIdleSeconds = 5;
// Request line and headers are held in this much memory per connection: 414 or 431 beyond it.
constexpr size_t kHeaderMemory = 32 * 1024;
constexpr size_t kMaxHeaders = 100;
constexpr size_t kStreamBlock = 32 * 1024;
constexpr size_t kTrimAbove = 1 << 20;
constexpr size_t kReserveAtMost = 64 << 20;
constexpr auto kWatchInterval = std::chrono::milliseconds(100);
constexpr auto kClientCheckInterval = std::chrono::milliseconds(100);

// The same shape as the library's envelope, so that clients read every error one way.
std::string errorBody(const std::string& message) {
  nlohmann::json body;
  body["error"] = message;
  body["success"] = false;
  return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

HttpResponse jsonAnswer(int status, std::string body) {
  HttpResponse response;
  response.status = status;
  response.body = std::move(body);
  response.setHeader("Content-Type", kJson);
  return response;
}

HttpResponse errorAnswer(int status, const std::string& message) {
  return jsonAnswer(status, errorBody(message));
}

std::string lowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool hasBodyMethod(const std::string& method) {
  return method == "POST" || method == "PUT" || method == "PATCH";
}

std::string allowedMethods(const std::string& method) {
  return method == "GET" ? "GET, HEAD, OPTIONS" : method + ", OPTIONS";
}

// A Content-Length value: digits only, or nothing.
std::optional<unsigned long long> parseLength(const std::string& text) {
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::stoull(text);
}

void countRejection(Metrics& metrics, int status, bool queueFull, bool overBudget) {
  switch (status) {
    case 401: metrics.countRejection(Rejection::kUnauthorized); break;
    case 411: metrics.countRejection(Rejection::kLengthRequired); break;
    case 413: metrics.countRejection(Rejection::kBodyTooLarge); break;
    case 503:
      if (overBudget) metrics.countRejection(Rejection::kBodiesHeld);
      else if (queueFull) metrics.countRejection(Rejection::kQueueFull);
      break;
    default: break;
  }
}

// The server library measures idleness from the last byte moved; time spent waiting for a solve
// is not the client's, so the clock starts again when the answer is ready.
void restartIdleClock(MHD_Connection* connection) {
  MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT, 0u);
  MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT, kIdleSeconds);
}

// Whether the peer has closed its side: a read that would see the end of the stream, or an error.
bool peerClosed(int socket) {
  char byte = 0;
  const ssize_t got = ::recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  if (got == 0) return true;
  return got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
}

// Waits for a solve, cancelling it when the client hangs up meanwhile.
Solved awaitSolve(std::future<Solved>& future, const CancelFlag& cancel,
                  const std::function<bool()>& clientGone) {
  while (future.wait_for(kClientCheckInterval) != std::future_status::ready) {
    if (!*cancel && clientGone && clientGone()) *cancel = true;
  }
  return future.get();
}

int failureStatus(SolveFailure failure) {
  return failure == SolveFailure::kCrashed ? 500 : 503;
}

// For want of room, be it a worker or memory for bodies: the client may try again shortly.
HttpResponse busyAnswer(const std::string& message) {
  HttpResponse busy = errorAnswer(503, message + "; retry later");
  busy.setHeader("Retry-After", kRetryAfterSeconds);
  return busy;
}

HttpResponse tooManyBodies() {
  HttpResponse busy = busyAnswer("the service holds as many request bodies as it may");
  busy.setHeader("Connection", "close");
  return busy;
}

HttpResponse bodyTooLarge(size_t maxBody) {
  return errorAnswer(413, "the body is larger than " + std::to_string(maxBody) + " bytes");
}

size_t countOf(const HttpRequest& request, const std::string& lowerName) {
  return static_cast<size_t>(std::count_if(
      request.headers.begin(), request.headers.end(),
      [&](const auto& header) { return header.first == lowerName; }));
}

bool bodyFollows(const HttpRequest& request) {
  const std::string* length = request.header("content-length");
  return (length != nullptr && *length != "0") || request.header("transfer-encoding") != nullptr;
}

// Why the headers alone make the request unreadable or too large, or nothing.
std::optional<HttpResponse> framingRefusal(const HttpRequest& request, size_t maxBody) {
  const std::string* length = request.header("content-length");
  const std::string* coding = request.header("transfer-encoding");
  const std::string* encoding = request.header("content-encoding");
  if (request.headers.size() > kMaxHeaders)
    return errorAnswer(431, "more than " + std::to_string(kMaxHeaders) + " header fields");
  if (countOf(request, "content-length") > 1 || countOf(request, "transfer-encoding") > 1 ||
      countOf(request, "authorization") > 1)
    return errorAnswer(400,
                       "a Content-Length, Transfer-Encoding or Authorization header appears twice");
  if (length != nullptr && coding != nullptr)
    return errorAnswer(400, "a request may not carry both Transfer-Encoding and Content-Length");
  if (coding != nullptr && lowerCase(*coding) != "chunked")
    return errorAnswer(400, "the only transfer coding understood is chunked");
  if (encoding != nullptr && lowerCase(*encoding) != "identity")
    return errorAnswer(415,
                       "compressed request bodies are not accepted; send the body uncompressed");
  if (length == nullptr) {
    if (coding == nullptr && hasBodyMethod(request.method))
      return errorAnswer(411, "a Content-Length header is required");
    return std::nullopt;
  }
  const std::optional<unsigned long long> declared = parseLength(*length);
  if (!declared) return errorAnswer(400, "the Content-Length is not a number");
  if (*declared > maxBody) return bodyTooLarge(maxBody);
  return std::nullopt;
}

// --- The server library's callbacks, forwarded to the service ----------------------------------

MHD_Result collectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  static_cast<std::vector<std::pair<std::string, std::string>>*>(cls)->emplace_back(
      lowerCase(key != nullptr ? key : ""), value != nullptr ? value : "");
  return MHD_YES;
}

void onConnection(void* cls, MHD_Connection* handle, void** context,
                  MHD_ConnectionNotificationCode code) {
  auto* service = static_cast<HttpService*>(cls);
  if (code == MHD_CONNECTION_NOTIFY_STARTED) {
    auto* connection = new Connection;
    connection->handle = handle;
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(handle, MHD_CONNECTION_INFO_CONNECTION_FD);
    connection->socket = info != nullptr ? info->connect_fd : -1;
    *context = connection;
    service->connectionOpened(connection);
  } else if (*context != nullptr) {
    service->connectionClosed(static_cast<Connection*>(*context));
    *context = nullptr;
  }
}

void* onRequestLine(void* cls, const char*, MHD_Connection* connection) {
  return static_cast<HttpService*>(cls)->requestBegun(connection);
}

MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                     const char* /*version*/, const char* upload, size_t* uploadSize,
                     void** context) {
  auto* service = static_cast<HttpService*>(cls);
  if (*context == nullptr) *context = service->requestBegun(connection);
  if (*context == nullptr) return MHD_NO;
  try {
    return service->handle(connection, *static_cast<Exchange*>(*context), url, method, upload,
                           uploadSize)
               ? MHD_YES
               : MHD_NO;
  } catch (...) {
    return MHD_NO;  // out of memory while reading: drop the connection, keep the server
  }
}

void onRequestEnded(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
  static_cast<HttpService*>(cls)->requestEnded(static_cast<Exchange*>(*context));
  *context = nullptr;
}

// A streamed body, handed to the server library piece by piece.
struct Stream {
  std::function<std::string()> next;
  std::string piece;
  size_t offset = 0;
  bool ended = false;
  MHD_Connection* connection = nullptr;
  std::shared_ptr<std::atomic<size_t>> bytesOut;
};

ssize_t readStream(void* cls, uint64_t, char* buffer, size_t room) {
  auto& stream = *static_cast<Stream*>(cls);
  while (stream.offset == stream.piece.size()) {
    if (stream.ended) return MHD_CONTENT_READER_END_OF_STREAM;
    try {
      stream.piece = stream.next();
    } catch (...) {
      return MHD_CONTENT_READER_END_WITH_ERROR;
    }
    stream.offset = 0;
    stream.ended = stream.piece.empty();
    restartIdleClock(stream.connection);
  }
  const size_t length = std::min(room, stream.piece.size() - stream.offset);
  std::memcpy(buffer, stream.piece.data() + stream.offset, length);
  stream.offset += length;
  *stream.bytesOut += length;
  return static_cast<ssize_t>(length);
}

void freeStream(void* cls) { delete static_cast<Stream*>(cls); }

}  // namespace

const std::string* HttpRequest::header(const std::string& lowerName) const {
  for (const auto& [name, value] : headers) {
    if (name == lowerName) return &value;
  }
  return nullptr;
}

void HttpResponse::setHeader(const std::string& name, const std::string& value) {
  for (auto& header : headers) {
    if (lowerCase(header.first) == lowerCase(name)) {
      header.second = value;
      return;
    }
  }
  headers.emplace_back(name, value);
}

// Every endpoint: one line each. A known path asked with another method is answered 405.
const HttpService::Route HttpService::kRoutes[] = {
    {"/v1/solve", "POST", &HttpService::solve},
    {"/v1/report", "POST", &HttpService::report},
    {"/v1/insights", "POST", &HttpService::insights},
    {"/v1/batch", "POST", &HttpService::batch},
    {"/healthz", "GET", &HttpService::health},
    {"/readyz", "GET", &HttpService::readiness},
    {"/metrics", "GET", &HttpService::metrics},
    {"/openapi.json", "GET", &HttpService::openapi},
};

namespace {

ServiceConfig withHeldAtLeastOneBody(ServiceConfig config) {
  config.maxHeld = std::max(config.maxHeld, config.maxBody);
  return config;
}

}  // namespace

HttpService::HttpService(const ServiceConfig& config, AccessLog& log)
    : config_(withHeldAtLeastOneBody(config)),
      log_(log),
      pool_(config.limits, config.threads, config.queue,
            [this](const Solved& solved, std::chrono::duration<double> took) {
              metrics_.countSolve(solved.tally, took);
            }) {}

HttpService::~HttpService() {
  if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
  {
    const std::lock_guard<std::mutex> lock(connectionsMutex_);
    stopping_ = true;
  }
  connectionsChanged_.notify_all();
  if (watcher_.joinable()) watcher_.join();
}

void HttpService::connectionOpened(Connection* connection) {
  const std::lock_guard<std::mutex> lock(connectionsMutex_);
  connection->since = Clock::now();
  connections_.insert(connection);
}

void HttpService::connectionClosed(Connection* connection) {
  {
    const std::lock_guard<std::mutex> lock(connectionsMutex_);
    connections_.erase(connection);
  }
  delete connection;
  connectionsChanged_.notify_all();
}

Exchange* HttpService::requestBegun(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  auto* owner = info != nullptr ? static_cast<Connection*>(info->socket_context) : nullptr;
  if (owner == nullptr) return nullptr;
  owner->exchange = std::make_unique<Exchange>();
  owner->exchange->start = Clock::now();
  owner->exchange->connection = owner;
  return owner->exchange.get();
}

void HttpService::requestEnded(Exchange* exchange) {
  if (exchange == nullptr) return;
  Connection& connection = *exchange->connection;
  // A large body was held in memory that the allocator would otherwise keep for this thread's
  // arena; handing it back once the exchange is gone keeps large bodies from adding up.
  struct Trim {
    bool large;
    ~Trim() {
      if (large) ::malloc_trim(0);
    }
  } trim{exchange->overLimit || exchange->request.body.capacity() >= kTrimAbove};
  const std::unique_ptr<Exchange> owned = std::move(connection.exchange);
  release(*exchange);
  {
    const std::lock_guard<std::mutex> lock(connectionsMutex_);
    connection.phase = Phase::kWaiting;
    connection.since = Clock::now();
  }
  if (exchange->status == 0) return;  // the client left before any answer
  const HttpRequest& request = exchange->request;
  const Route* known = nullptr;
  for (const Route& route : kRoutes) {
    if (request.path == route.path) known = &route;
  }
  metrics_.countRequest(known != nullptr ? known->path : "other", exchange->status);
  countRejection(metrics_, exchange->status, exchange->queueFull, exchange->overBudget);
  AccessRecord record;
  record.method = request.method;
  record.path = request.path;
  record.status = exchange->status;
  record.bytesIn = request.body.size();
  record.bytesOut = *exchange->bytesOut;
  record.milliseconds =
      std::chrono::duration<double, std::milli>(Clock::now() - exchange->start).count();
  log_.write(record);
}

bool HttpService::handle(MHD_Connection* connection, Exchange& exchange, const char* url,
                         const char* method, const char* upload, size_t* uploadSize) {
  if (!exchange.headersChecked) return headersArrived(connection, exchange, url, method);
  if (*uploadSize > 0) {
    bodyArrived(exchange, upload, *uploadSize);
    *uploadSize = 0;
    return true;
  }
  if (exchange.refused) return true;
  if (exchange.overLimit || exchange.overBudget) {
    HttpResponse refusal = exchange.overBudget ? tooManyBodies() : bodyTooLarge(config_.maxBody);
    refusal.setHeader("Connection", "close");
    exchange.refused = true;
    return answer(connection, exchange, std::move(refusal));
  }
  return requestRead(connection, exchange);
}

void HttpService::enterPhase(Connection& connection, Phase phase) {
  const std::lock_guard<std::mutex> lock(connectionsMutex_);
  connection.phase = phase;
  connection.since = Clock::now();
}

bool HttpService::headersArrived(MHD_Connection* connection, Exchange& exchange, const char* url,
                                 const char* method) {
  exchange.headersChecked = true;
  enterPhase(*exchange.connection, Phase::kBody);
  HttpRequest& request = exchange.request;
  request.method = method;
  request.path = url;
  MHD_get_connection_values(connection, MHD_HEADER_KIND, collectHeader, &request.headers);
  std::optional<HttpResponse> refusal = refusalBeforeBody(request);
  if (refusal) {
    exchange.refused = true;
    return answer(connection, exchange, std::move(*refusal));
  }
  // A declared length is counted against the bodies held before any of it is read.
  const std::string* length = request.header("content-length");
  if (length != nullptr && !hold(exchange, *parseLength(*length))) {
    exchange.refused = exchange.overBudget = true;
    return answer(connection, exchange, tooManyBodies());
  }
  // One allocation instead of a growing copy: the length, already checked against the limit, or
  // for a chunked body the limit itself, whose pages are only touched as the body arrives.
  request.body.reserve(length != nullptr ? *parseLength(*length)
                                         : std::min(config_.maxBody, kReserveAtMost));
  return true;
}

// Counted as it arrives: a body without a length is held only up to the limit. The server library
// cannot answer in the middle of a body, so the rest is read and dropped, within the body's
// deadline, and answered 413 at its end.
void HttpService::bodyArrived(Exchange& exchange, const char* upload, size_t size) {
  if (exchange.refused || exchange.overLimit || exchange.overBudget) return;
  std::string& body = exchange.request.body;
  const bool chunked = exchange.request.header("content-length") == nullptr;
  if (body.size() + size > config_.maxBody || (chunked && !hold(exchange, size))) {
    (body.size() + size > config_.maxBody ? exchange.overLimit : exchange.overBudget) = true;
    std::string().swap(body);
    release(exchange);
    return;
  }
  // Grown by doubling, but never past the limit, which doubling alone would overshoot.
  if (body.size() + size > body.capacity()) {
    body.reserve(std::min(config_.maxBody, std::max(2 * body.capacity(), body.size() + size)));
  }
  body.append(upload, size);
}

// Counts `bytes` more of the exchange's body against what the service may hold of all bodies;
// false, counting nothing, when they would not fit.
bool HttpService::hold(Exchange& exchange, size_t bytes) {
  size_t current = held_.load();
  do {
    if (bytes > config_.maxHeld - std::min(current, config_.maxHeld)) return false;
  } while (!held_.compare_exchange_weak(current, current + bytes));
  exchange.held += bytes;
  return true;
}

void HttpService::release(Exchange& exchange) {
  held_ -= exchange.held;
  exchange.held = 0;
}

bool HttpService::requestRead(MHD_Connection* connection, Exchange& exchange) {
  enterPhase(*exchange.connection, Phase::kAnswering);
  const int socket = exchange.connection->socket;
  exchange.request.clientGone = [socket] { return socket >= 0 && peerClosed(socket); };
  HttpResponse response;
  // While the request waits for a solve, the idle limit is off; it starts again for the answer.
  MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT, 0u);
  try {
    response = route(exchange.request);
  } catch (const std::exception&) {
    response = errorAnswer(500, "internal error");
  }
  restartIdleClock(connection);
  return answer(connection, exchange, std::move(response));
}

// The checks that need only the request line and headers; a refusal is answered at once, before a
// client that asked for "100 Continue" is told to send its body, and its connection then closes.
// Routing and the token come before the body too, so that neither a stranger's body nor one sent
// to the wrong place is ever read.
std::optional<HttpResponse> HttpService::refusalBeforeBody(const HttpRequest& request) const {
  std::optional<HttpResponse> refusal = framingRefusal(request, config_.maxBody);
  const bool known = std::any_of(std::begin(kRoutes), std::end(kRoutes),
                                 [&](const Route& route) { return request.path == route.path; });
  if (!refusal && !known) refusal = errorAnswer(404, "no endpoint at " + request.path);
  if (!refusal && request.method != "OPTIONS" && !authorized(request)) {
    refusal = errorAnswer(401, "a valid \"Authorization: Bearer <token>\" header is required");
    refusal->setHeader("WWW-Authenticate", "Bearer");
  }
  if (refusal && bodyFollows(request)) refusal->setHeader("Connection", "close");
  return refusal;
}

bool HttpService::authorized(const HttpRequest& request) const {
  if (config_.token.empty() || request.path == "/healthz") return true;
  const std::string* given = request.header("authorization");
  return given != nullptr && bearerMatches(config_.token, *given);
}

HttpResponse HttpService::route(const HttpRequest& request) {
  for (const Route& candidate : kRoutes) {
    if (request.path != candidate.path) continue;
    const std::string allow = allowedMethods(candidate.method);
    if (request.method == "OPTIONS") {
      // What the path allows; also the browsers' preflight, which carries no token.
      HttpResponse response;
      response.status = 204;
      response.setHeader("Allow", allow);
      if (!config_.corsOrigin.empty()) {
        response.setHeader("Access-Control-Allow-Methods", allow);
        response.setHeader("Access-Control-Allow-Headers", "Authorization, Content-Type");
        response.setHeader("Access-Control-Max-Age", "600");
      }
      return response;
    }
    const bool head = request.method == "HEAD" && std::string(candidate.method) == "GET";
    if (request.method != candidate.method && !head) {
      HttpResponse response =
          errorAnswer(405, request.method + " is not allowed here; use " + allow);
      response.setHeader("Allow", allow);
      return response;
    }
    return (this->*candidate.endpoint)(request);
  }
  return errorAnswer(404, "no endpoint at " + request.path);
}

// Hands the answer to the server library; false when it could not take it.
bool HttpService::answer(MHD_Connection* connection, Exchange& exchange, HttpResponse response) {
  MHD_Response* reply = nullptr;
  if (response.stream) {
    auto* stream = new Stream;
    stream->next = std::move(response.stream);
    stream->connection = connection;
    stream->bytesOut = exchange.bytesOut;
    reply = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, kStreamBlock, readStream, stream,
                                              freeStream);
    if (reply == nullptr) delete stream;
  } else {
    reply = MHD_create_response_from_buffer(response.body.size(), response.body.data(),
                                            MHD_RESPMEM_MUST_COPY);
    *exchange.bytesOut = response.body.size();
  }
  if (reply == nullptr) return false;
  if (!config_.corsOrigin.empty()) {
    response.setHeader("Access-Control-Allow-Origin", config_.corsOrigin);
    response.setHeader("Vary", "Origin");
  }
  // During a drain every answer says that the connection ends with it, so that no client sends
  // another request on it that would never be read.
  if (draining_) response.setHeader("Connection", "close");
  for (const auto& [name, value] : response.headers) {
    MHD_add_response_header(reply, name.c_str(), value.c_str());
  }
  const bool queued = MHD_queue_response(connection, static_cast<unsigned>(response.status),
                                         reply) == MHD_YES;
  MHD_destroy_response(reply);
  if (queued) {
    // The body is done with once its answer is on its way, before the client can send the next.
    release(exchange);
    exchange.status = response.status;
    // Only the refusal for want of a worker says when to come back.
    for (const auto& header : response.headers) exchange.queueFull |= header.first == "Retry-After";
  }
  return queued;
}

HttpResponse HttpService::solveOrReject(const HttpRequest& request, Solved& solved) {
  const CancelFlag cancel = std::make_shared<std::atomic<bool>>(false);
  std::optional<std::future<Solved>> future = pool_.trySubmit(request.body, cancel);
  if (!future) {
    return busyAnswer("every solving worker is busy and the queue is full");
  }
  solved = awaitSolve(*future, cancel, request.clientGone);
  if (solved.failure != SolveFailure::kNone) {
    return errorAnswer(failureStatus(solved.failure),
                       failureMessage(solved.failure, config_.limits));
  }
  return HttpResponse{};
}

HttpResponse HttpService::solve(const HttpRequest& request) {
  Solved solved;
  HttpResponse refused = solveOrReject(request, solved);
  if (refused.status != 200) return refused;
  return jsonAnswer(solved.tally.errors > 0 ? 422 : 200, std::move(solved.response));
}

HttpResponse HttpService::report(const HttpRequest& request) {
  Solved solved;
  HttpResponse refused = solveOrReject(request, solved);
  if (refused.status != 200) return refused;
  if (solved.tally.errors > 0) return jsonAnswer(422, std::move(solved.response));
  bool ok = false;
  const std::string insights = insightsText(request.body, solved.response, ok);
  HttpResponse page;
  page.body = buildReport(solved.response, ok ? insights : "").html;
  page.setHeader("Content-Type", "text/html; charset=utf-8");
  return page;
}

// Measures only, solves nothing: answered on the connection's thread.
HttpResponse HttpService::insights(const HttpRequest& request) {
  EndpointAnswer answer = answerInsights(request.body);
  return jsonAnswer(answer.status, std::move(answer.body));
}

HttpResponse HttpService::batch(const HttpRequest& request) {
  std::shared_ptr<BatchStream> stream =
      BatchStream::start(pool_, splitLines(request.body), pool_.threadCount());
  if (!stream) {
    return busyAnswer("every solving worker is busy and the queue is full");
  }
  HttpResponse response;
  response.setHeader("Content-Type", "application/x-ndjson");
  // Owned by the answer: when it ends early, the client gone, the stream and its lines go with it.
  response.stream = [stream, clientGone = request.clientGone]() -> std::string {
    if (stream->finished()) return "";
    while (!stream->frontReady(kClientCheckInterval)) {
      if (clientGone && clientGone()) stream->cancel();
    }
    return stream->nextLine();
  };
  return response;
}

HttpResponse HttpService::health(const HttpRequest&) {
  return jsonAnswer(200, "{\"status\":\"alive\"}");
}

HttpResponse HttpService::readiness(const HttpRequest&) {
  if (!draining_) return jsonAnswer(200, "{\"status\":\"ready\"}");
  HttpResponse response = jsonAnswer(503, "{\"status\":\"draining\"}");
  response.setHeader("Connection", "close");
  return response;
}

HttpResponse HttpService::metrics(const HttpRequest&) {
  Gauges gauges;
  gauges.inFlight = pool_.inFlight();
  gauges.queueLength = pool_.queueLength();
  gauges.timeouts = pool_.timeouts();
  gauges.memoryKills = pool_.memoryKills();
  gauges.crashes = pool_.crashes();
  gauges.restarts = pool_.restarts();
  HttpResponse response;
  response.body = metrics_.text(gauges);
  response.setHeader("Content-Type", "text/plain; version=0.0.4");
  return response;
}

HttpResponse HttpService::openapi(const HttpRequest&) { return jsonAnswer(200, kOpenApiDocument); }

int HttpService::bind(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> address(found, ::freeaddrinfo);
  unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL |
                   MHD_USE_ITC;
  if (found->ai_family == AF_INET6) flags |= MHD_USE_IPv6;
  daemon_ = MHD_start_daemon(
      flags, static_cast<uint16_t>(port), nullptr, nullptr, onRequest, this,
      MHD_OPTION_SOCK_ADDR, found->ai_addr,
      MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(config_.maxConnections),
      MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<unsigned>(config_.maxPerClient),
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, kHeaderMemory,
      MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds,
      MHD_OPTION_LISTEN_BACKLOG_SIZE, static_cast<unsigned>(SOMAXCONN),
      MHD_OPTION_STRICT_FOR_CLIENT, 1,
      MHD_OPTION_NOTIFY_CONNECTION, onConnection, this,
      MHD_OPTION_URI_LOG_CALLBACK, onRequestLine, this,
      MHD_OPTION_NOTIFY_COMPLETED, onRequestEnded, this,
      MHD_OPTION_END);
  if (daemon_ == nullptr) return -1;
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
  watcher_ = std::thread(&HttpService::watchDeadlines, this);
  return info != nullptr ? info->port : port;
}

// Cuts the connections that overstay a phase's deadline. Idle kept-alive connections are left to
// the idle limit even during a drain: a request that a client sends on one meanwhile is answered,
// with "Connection: close", rather than lost to a close it could not see coming. Shutting the
// socket down makes the server library's own thread see the end of the stream and close the
// connection; the socket stays open until then, so it is never another connection's.
void HttpService::watchDeadlines() {
  std::unique_lock<std::mutex> lock(connectionsMutex_);
  while (!stopping_) {
    connectionsChanged_.wait_for(lock, kWatchInterval);
    const Clock::time_point now = Clock::now();
    for (Connection* connection : connections_) {
      if (connection->cut || connection->socket < 0) continue;
      const bool late =
          (connection->phase == Phase::kWaiting && now - connection->since > kHeaderDeadline) ||
          (connection->phase == Phase::kBody && now - connection->since > kBodyDeadline);
      if (late) {
        ::shutdown(connection->socket, SHUT_RDWR);
        connection->cut = true;
      }
    }
  }
}

bool HttpService::serve() {
  MHD_Daemon* daemon = nullptr;
  {
    std::unique_lock<std::mutex> lock(connectionsMutex_);
    if (daemon_ == nullptr) return false;
    connectionsChanged_.wait(lock, [this] { return draining_ && connections_.empty(); });
    daemon = std::exchange(daemon_, nullptr);
  }
  MHD_stop_daemon(daemon);
  return true;
}

void HttpService::drain() {
  {
    // Under the lock, so that serve() cannot stop the server in the middle.
    const std::lock_guard<std::mutex> lock(connectionsMutex_);
    if (!draining_.exchange(true) && daemon_ != nullptr) {
      const MHD_socket listening = MHD_quiesce_daemon(daemon_);
      if (listening != MHD_INVALID_SOCKET) ::close(listening);
    }
  }
  connectionsChanged_.notify_all();
}

}  // namespace cli
