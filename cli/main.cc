// varbex: reads one packing request, prints the library's response, and tells by its exit status
// whether everything was placed. Uses only the public C interface.
#include "varbex.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "batch.h"
#include "exit_status.h"
#include "insights_command.h"
#include "report.h"
#include "serve.h"
#include "solve_worker.h"
#include "text_file.h"

namespace {

using nlohmann::json;
using cli::kAllPlaced;
using cli::kItemsUnplaced;
using cli::kRequestRejected;
using cli::kUsageOrIoError;

constexpr char kUsage[] =
    "usage: varbex solve [FILE|-] [--pretty]\n"
    "       varbex solve [FILE|-] [--pretty] --html REPORT.html\n"
    "       varbex solve [FILE|-] [--pretty] --insights INSIGHTS.json\n"
    "       varbex render [--request REQUEST.json] [RESPONSE.json|-] [-o REPORT.html]\n"
    "       varbex render --svg DIR [--request REQUEST.json] [RESPONSE.json|-]\n"
    "       varbex insights REQUEST.json RESPONSE.json [-o INSIGHTS.json]\n"
    "       varbex batch [IN.jsonl|-] [-o OUT.jsonl] [--jobs N]\n"
    "       varbex serve [--listen HOST:PORT] [--threads N] [--queue N] [--max-body BYTES]\n"
    "                    [--solve-timeout SECONDS] [--solve-memory MIB]\n"
    "                    [--max-connections N] [--max-per-client N] [--max-held BYTES]\n"
    "                    [--token-file FILE] [--cors ORIGIN] [--access-log FILE|-]\n"
    "       varbex --help | --version\n"
    "\n"
    "solve   packs the items of a JSON request into boxes and prints the JSON response.\n"
    "        The request is read from FILE, or from standard input when FILE is '-' or absent.\n"
    "          --pretty        indent the response with two spaces\n"
    "          --html REPORT   also write the packing report of the response to REPORT\n"
    "          --insights FILE also write the response's insights (docs/insights.md) to FILE\n"
    "render  writes the packing report of a response as one self-contained HTML file\n"
    "        (to standard output without -o); with --request, the insights are shown too;\n"
    "        --svg DIR writes one picture per box instead, DIR/box-<index>.svg\n"
    "insights  why items went unplaced and how the boxes stand, as JSON (docs/insights.md)\n"
    "batch   solves one request per input line on N threads (default: one per core) and\n"
    "        writes one response per line, in input order; a summary goes to standard error\n"
    "serve   answers requests over HTTP until SIGTERM or SIGINT (see docs/service.md):\n"
    "          --listen HOST:PORT   address to listen on (default 127.0.0.1:8080; port 0\n"
    "                               picks a free one, printed at start)\n"
    "          --threads N          solving worker processes (default: one per core)\n"
    "          --queue N            requests that may wait for a worker (default 64);\n"
    "                               beyond that the answer is 503 with Retry-After\n"
    "          --max-body BYTES     largest request body (default 16 MiB); larger: 413\n"
    "          --solve-timeout SECONDS\n"
    "                               longest one solve may run (default 30; 0: no limit);\n"
    "                               past it the worker is killed and the answer is 503\n"
    "          --solve-memory MIB   most memory one solve may take (default 1024; 0: no\n"
    "                               limit); past it, as with --solve-timeout\n"
    "          --max-connections N  open connections in all (default 1000); more are\n"
    "                               closed as soon as they are accepted\n"
    "          --max-per-client N   open connections from one client address (default 256)\n"
    "          --max-held BYTES     request bodies held at once, in all (default 64 MiB, at\n"
    "                               least --max-body); beyond that: 503 with Retry-After\n"
    "          --token-file FILE    require 'Authorization: Bearer <token>' (or set\n"
    "                               VARBEX_TOKEN); /healthz stays open\n"
    "          --cors ORIGIN        allow browsers on ORIGIN to call the service\n"
    "          --access-log FILE|-  one JSON line per request, appended to FILE\n"
    "\n"
    "exit status: 0 all items placed, 3 some items unplaced, 2 request rejected (the\n"
    "message also goes to standard error), 1 usage or input/output error\n";

struct Options {
  std::string file = "-";
  bool pretty = false;
  std::string html;      // where to write the report; empty for none
  std::string insights;  // where to write the insights; empty for none
};

int fail(const std::string& message) {
  std::fprintf(stderr, "varbex: %s\n", message.c_str());
  return kUsageOrIoError;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "varbex: %s\n%s", message.c_str(), kUsage);
  return kUsageOrIoError;
}

// Returns false with `error` set when the arguments after "solve" are not understood.
bool parseSolveArguments(int argc, char** argv, Options& options, std::string& error) {
  bool haveFile = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--pretty") {
      options.pretty = true;
    } else if (arg == "--html" || arg == "--insights") {
      if (i + 1 >= argc) {
        error = "option '" + arg + "' needs a file name";
        return false;
      }
      (arg == "--html" ? options.html : options.insights) = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option '" + arg + "'";
      return false;
    } else if (haveFile) {
      error = "more than one request file given";
      return false;
    } else {
      options.file = arg;
      haveFile = true;
    }
  }
  return true;
}

bool readAll(std::FILE* stream, std::string& text) {
  char buffer[65536];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, count);
  return !std::ferror(stream);
}

// Reads the request; on failure returns false with `error` naming the file and the reason.
bool readRequest(const std::string& file, std::string& text, std::string& error) {
  const bool useStdin = file == "-";
  const std::string name = useStdin ? "standard input" : "'" + file + "'";
  std::FILE* stream = useStdin ? stdin : std::fopen(file.c_str(), "rb");
  bool ok = stream != nullptr && readAll(stream, text);
  const int savedErrno = errno;
  if (stream != nullptr && !useStdin) std::fclose(stream);
  if (!ok) error = "cannot read " + name + ": " + std::strerror(savedErrno);
  return ok;
}

// Prints the response, indented with two spaces per level when asked, and returns the exit status
// it calls for. The response is read back with the JSON library; its member order and number forms
// are the library's own, so the indented text holds the very tokens of the compact one.
int report(const std::string& response, bool pretty) {
  const json parsed = json::parse(response, nullptr, false);
  const bool readable = !parsed.is_discarded() && parsed.is_object();
  const std::string shown =
      pretty && readable ? parsed.dump(2, ' ', false, json::error_handler_t::replace) : response;
  std::fwrite(shown.data(), 1, shown.size(), stdout);
  std::fputc('\n', stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    return fail(std::string("cannot write standard output: ") + std::strerror(errno));
  }
  if (!readable) return fail("the library's response is not a JSON object");
  const auto error = parsed.find("error");
  if (error != parsed.end()) {
    const std::string message = error->is_string() ? error->get<std::string>() : error->dump();
    std::fprintf(stderr, "varbex: %s\n", message.c_str());
    return kRequestRejected;
  }
  const auto success = parsed.find("success");
  if (success != parsed.end() && success->is_boolean()) {
    return success->get<bool>() ? kAllPlaced : kItemsUnplaced;
  }
  return fail("the library's response has no \"success\" member");
}

// Writes the packing report of a response that is not an error envelope.
bool writeHtmlReport(const std::string& path, const std::string& response,
                     const std::string& insights) {
  const cli::Report page = cli::buildReport(response, insights);
  std::string error = page.error;
  if (!page.html.empty() && cli::writeTextFile(path, page.html, error)) return true;
  fail(error);
  return false;
}

int solve(const Options& options) {
  std::string request;
  std::string error;
  if (!readRequest(options.file, request, error)) return fail(error);
  const std::unique_ptr<char, void (*)(char*)> response(varbex_solve(request.c_str()), varbex_free);
  if (!response) return fail("out of memory: the library returned no response");
  const int status = report(response.get(), options.pretty);
  if (status != kAllPlaced && status != kItemsUnplaced) return status;
  if (options.html.empty() && options.insights.empty()) return status;
  bool ok = false;
  const std::string insights = cli::insightsText(request, response.get(), ok);
  if (!ok) return fail("no insights: " + insights);
  if (!options.insights.empty() && !cli::writeTextFile(options.insights, insights + "\n", error)) {
    return fail(error);
  }
  if (options.html.empty()) return status;
  return writeHtmlReport(options.html, response.get(), insights) ? status : kUsageOrIoError;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return kAllPlaced;
  }
  if (command == "--version") {
    std::printf("varbex %s\n", VARBEX_VERSION);
    return kAllPlaced;
  }
  if (command.empty()) return usageError("no command given");
  // `varbex COMMAND --help` asks for the usage, not for a file of that name; serve has its own.
  const std::string first = argc > 2 ? argv[2] : "";
  if (command != "serve" && (first == "--help" || first == "-h")) {
    std::fputs(kUsage, stdout);
    return kAllPlaced;
  }
  if (command == "render") return cli::renderCommand(argc, argv);
  if (command == "batch") return cli::batchCommand(argc, argv);
  if (command == "insights") return cli::insightsCommand(argc, argv);
  if (command == "serve") return cli::serveCommand(argc, argv);
  // Not in the usage: started by `serve` itself, one per solving thread.
  if (command == "solve-worker") return cli::solveWorkerCommand(argc, argv);
  if (command != "solve") return usageError("unknown command '" + command + "'");
  Options options;
  std::string error;
  if (!parseSolveArguments(argc, argv, options, error)) return usageError(error);
  return solve(options);
}
